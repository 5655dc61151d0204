#pragma once

#include "NoteEvent.h"
#include <juce_graphics/juce_graphics.h>

/** The picture of a render: input and output waveforms, a spectrogram of the output and
    the notes, all on one time axis that spans the output. */
namespace RenderPlot
{
    constexpr int width = 1600;
    constexpr int height = 1000;

    /** Where each part of the picture goes. */
    struct Layout
    {
        juce::Rectangle<int> title, input, output, spectrogram, notes, timeAxis;
    };

    Layout getLayout();

    /** The x of a time, for a picture whose time axis spans `durationSeconds`. */
    float timeToX (double seconds, double durationSeconds);

    /** The y of a frequency in the spectrogram (log scale from minHz to maxHz, high at the top). */
    float frequencyToY (double hz, double maxHz);

    constexpr double minHz = 30.0;

    /** The highest frequency shown: the Nyquist frequency, at most 20 kHz. */
    double getMaxHz (double sampleRate);

    struct Content
    {
        const juce::AudioBuffer<float>& input;
        const juce::AudioBuffer<float>& output;
        double sampleRate;
        const std::vector<NoteEvent>& notes;
        juce::String title;
    };

    /** Draws the picture. Labels are left out when the system has no fonts. */
    juce::Image draw (const Content& content);

    /** Writes the picture as PNG; false on a write failure. */
    bool writePng (const juce::Image& image, juce::OutputStream& stream);
}
