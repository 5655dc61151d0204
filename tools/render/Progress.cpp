#include "Progress.h"

#include <cstdio>
#include <unistd.h>

ProgressBar::ProgressBar (bool wanted)
    : enabled (wanted && ::isatty (STDERR_FILENO) != 0),
      startTime (juce::Time::getMillisecondCounter())
{
}

ProgressBar::~ProgressBar()
{
    finish();
}

void ProgressBar::update (double fraction)
{
    constexpr juce::uint32 momentMs = 300;

    if (! enabled || (! drawn && juce::Time::getMillisecondCounter() - startTime < momentMs))
        return;

    const auto percent = juce::jlimit (0, 100, (int) (fraction * 100.0));

    if (percent == lastPercent)
        return;

    lastPercent = percent;
    constexpr int barWidth = 40;
    const auto filled = percent * barWidth / 100;

    std::string bar (barWidth, ' ');
    std::fill (bar.begin(), bar.begin() + filled, '#');
    std::fprintf (stderr, "\rrendering [%s] %3d%%", bar.c_str(), percent);
    std::fflush (stderr);
    drawn = true;
}

void ProgressBar::finish()
{
    if (drawn)
    {
        std::fprintf (stderr, "\r%60s\r", "");
        std::fflush (stderr);
        drawn = false;
    }
}
