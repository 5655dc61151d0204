#pragma once

#include <juce_core/juce_core.h>

/** A one-line progress bar on stderr. It draws only when stderr is a terminal, and only
    once the work has taken longer than a moment, so quick renders and redirected output
    stay clean. */
class ProgressBar
{
public:
    explicit ProgressBar (bool wanted);
    ~ProgressBar();

    /** fraction from 0 to 1 */
    void update (double fraction);

    /** Clears the line if anything was drawn. */
    void finish();

private:
    bool enabled;
    bool drawn = false;
    int lastPercent = -1;
    juce::uint32 startTime;
};
