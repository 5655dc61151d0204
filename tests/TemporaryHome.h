#pragma once

#include <juce_core/juce_core.h>
#include <cstdlib>

/** Points HOME at a fresh, empty folder for as long as it lives.

    The processor keeps its preset bank under the user's application-data folder
    (~/.config) and the LV2 format scans ~/.lv2: test and benchmark programs create
    one of these first thing in main(), so they never touch the real home. Programs
    they start inherit it.
*/
class TemporaryHome
{
public:
    explicit TemporaryHome (const char* name)
        : folder (juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile (name, ""))
    {
        folder.createDirectory();
        setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
        unsetenv ("XDG_CONFIG_HOME");
    }

    ~TemporaryHome()   { folder.deleteRecursively(); }

private:
    juce::File folder;

    JUCE_DECLARE_NON_COPYABLE (TemporaryHome)
};
