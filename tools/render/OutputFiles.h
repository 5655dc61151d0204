#pragma once

#include <juce_core/juce_core.h>

/** The files of one run, written under temporary names beside their targets and renamed
    only when everything has been written. Temporary files that were not committed are
    removed by the destructor, and also when the program is interrupted (SIGINT, SIGTERM,
    SIGHUP), so an error never leaves a half-written file behind. */
class PendingOutputs
{
public:
    PendingOutputs();
    ~PendingOutputs();

    /** Makes the target's folder if needed and returns the temporary file to write
        instead. Throws RenderError when the folder cannot be made. */
    juce::File add (const juce::File& target);

    /** Renames every temporary file to its target. Throws RenderError on failure. */
    void commit();

private:
    std::vector<std::unique_ptr<juce::TemporaryFile>> files;

    JUCE_DECLARE_NON_COPYABLE (PendingOutputs)
};
