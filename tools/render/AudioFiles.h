#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/** Reading the input and writing the result. */
namespace AudioFiles
{
    struct Audio
    {
        juce::AudioBuffer<float> buffer;
        double sampleRate = 44100.0;
    };

    constexpr double minSampleRate = 8000.0;
    constexpr double maxSampleRate = 384000.0;

    /** Reads a mono or stereo WAV or AIFF file. Throws RenderError with a one-line message
        for a missing or unreadable file, another format, more channels or no samples. */
    Audio readInput (const juce::File& file);

    /** Writes a WAV file: 16 or 24 bit integer, or 32 bit float. Throws RenderError. */
    void writeWav (const juce::File& file, const juce::AudioBuffer<float>& buffer, double sampleRate, int bitsPerSample);
}
