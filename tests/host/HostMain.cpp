#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <cstdlib>
#include "HostHarness.h"

int main (int argc, char** argv)
{
    // The plug-in keeps its preset bank under ~/.config and the LV2 format scans
    // ~/.lv2: the host gets a fresh, empty home of its own before anything loads.
    const auto home = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getNonexistentChildFile ("ovarn-host-home", "");
    home.createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        ::testing::InitGoogleTest (&argc, argv);

        host::PluginHost pluginHost;
        result = RUN_ALL_TESTS();
    }

    home.deleteRecursively();
    return result;
}
