#pragma once

#include "TestHelpers.h"

/** One freeze voice on its own, with the values it reads set to the defaults. */
struct VoiceRig : SynthHost
{
    explicit VoiceRig (int poly = 8, double rate = 44100.0) : sampleRate (rate)
    {
        const auto members = values.inHostOrder();
        for (size_t i = 0; i < std::size (members); ++i)
            *members[i] = parameterRows[i].defaultValue;

        input.setSize (2, 512);
        input.clear();
        voice = std::make_unique<OvarnVoice> (VoiceContext { *this, values, play, input, captureRing, sounding }, 0, poly);
    }

    double getCurrentSamplerate() const override          { return sampleRate; }
    void setSamples (const float* s, int length) override { published = s; publishedLength = length; }

    /** Writes frames into the capture ring as the pre-pass would. */
    void feed (int frames, const std::function<float (long long, int)>& signal)
    {
        for (int i = 0; i < frames; ++i, ++framesWritten)
        {
            captureRing.write (0, signal (framesWritten, 0));
            captureRing.write (1, signal (framesWritten, 1));
            captureRing.advance();
        }
    }

    double sampleRate;
    ParameterValues values;
    PlayState play;
    juce::AudioBuffer<float> input;
    CaptureBuffer captureRing;
    VoiceBitSet sounding;
    std::unique_ptr<OvarnVoice> voice;
    const float* published = nullptr;
    int publishedLength = -1;
    long long framesWritten = 0;
};
