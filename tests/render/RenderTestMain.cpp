// The tests run with HOME pointing at a fresh folder: constructing a processor creates the
// default bank under the user's configuration folder, and the program under test inherits
// the same environment.

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>

int main (int argc, char** argv)
{
    char pattern[] = "/tmp/ovarn-render-tests-XXXXXX";
    const char* home = ::mkdtemp (pattern);

    if (home == nullptr || ::setenv ("HOME", home, 1) != 0)
        return 1;

    ::unsetenv ("XDG_CONFIG_HOME");

    int result = 0;
    {
        const juce::ScopedJuceInitialiser_GUI juceInit;
        ::testing::InitGoogleTest (&argc, argv);
        result = RUN_ALL_TESTS();
    }

    juce::File (home).deleteRecursively();
    return result;
}
