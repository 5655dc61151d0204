#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <cstdlib>
#include "HostHarness.h"
#include "../TemporaryHome.h"

int main (int argc, char** argv)
{
    const TemporaryHome home ("ovarn-host-home");

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        ::testing::InitGoogleTest (&argc, argv);

        host::PluginHost pluginHost;
        result = RUN_ALL_TESTS();
    }

    return result;
}
