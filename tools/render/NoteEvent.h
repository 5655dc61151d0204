#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <vector>

/** One note of the part to render, timed in seconds from the start of the input. */
struct NoteEvent
{
    int noteNumber = 60;
    double startSeconds = 0.0;
    double endSeconds = 0.0;
    int velocity = 100;     // 1..127
    int channel = 1;        // 1..16
};

/** Any other channel message (controller, pitch wheel, pressure) with its time. */
struct TimedMessage
{
    double seconds = 0.0;
    juce::MidiMessage message;
};
