// The tests run with HOME pointing at a fresh folder: constructing a processor creates the
// default bank under the user's configuration folder, and the program under test inherits
// the same environment.

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "../TemporaryHome.h"

int main (int argc, char** argv)
{
    const TemporaryHome home ("ovarn-render-tests");

    int result = 0;
    {
        const juce::ScopedJuceInitialiser_GUI juceInit;
        ::testing::InitGoogleTest (&argc, argv);
        result = RUN_ALL_TESTS();
    }

    return result;
}
