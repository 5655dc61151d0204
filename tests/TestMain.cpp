#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <cstdlib>

int main (int argc, char** argv)
{
    // The processor keeps its preset bank under the user's application-data
    // folder (~/.config): tests get a fresh home of their own.
    const auto home = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getNonexistentChildFile ("ovarn-test-home", "");
    home.createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        ::testing::InitGoogleTest (&argc, argv);
        result = RUN_ALL_TESTS();
    }

    home.deleteRecursively();
    return result;
}
