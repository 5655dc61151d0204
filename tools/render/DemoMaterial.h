#pragma once

#include "NoteEvent.h"
#include <juce_audio_basics/juce_audio_basics.h>

/** The built-in material rendered when no input file or notes are given.

    The sound is synthesised here, sample for sample the same on every run: a sung tone on
    A2 with a gentle vibrato whose vowel moves a - e - i - o - u, so every note freezes a
    different vowel and the formant control has formants to move. The phrase plays a held
    note, a legato line and a chord over it.
*/
namespace DemoMaterial
{
    constexpr double defaultSampleRate = 44100.0;
    constexpr double lengthSeconds = 8.0;

    /** Mono, lengthSeconds long, peak 0.3 (about -10 dBFS). */
    juce::AudioBuffer<float> makeSound (double sampleRate = defaultSampleRate);

    /** Formant frequencies (Hz) of the sound's vowel at a time, lowest first. */
    std::array<double, 4> getFormantsAt (double seconds);

    std::vector<NoteEvent> makePhrase();
}
