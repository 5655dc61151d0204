#pragma once

#include <benchmark/benchmark.h>
#include <juce_audio_basics/juce_audio_basics.h>
#include <array>
#include <chrono>
#include <memory>
#include <vector>
#include "processor/PluginProcessor.h"

/** Shared set-up of the benchmarks: the host's format (stereo, 48 kHz, 512
    frames), the notes both engines play and the input they hear. */
namespace bench
{
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;
    constexpr int numChannels = 2;

    /** 64 distinct notes, C2 upwards. With 64 sounding, the first 32 are
        released (a long release keeps them sounding) and the last 32 held. */
    constexpr int numNotes = 64;
    constexpr int lowestNote = 36;
    inline int noteAt (int index) noexcept         { return lowestNote + index; }

    /** Note-ons (velocity 100, channel 1) for notes [first, first + count) at the start of a block. */
    juce::MidiBuffer notesOn (int first, int count);
    juce::MidiBuffer notesOff (int first, int count);

    /** The blocks of MIDI that bring `voices` voices to sound: up to 32 held
        notes; for 64, 32 notes played and released (a long release keeps them
        sounding) and then 32 more held. Ovarn's polyphony counts at most 32
        voices, releasing ones included, so 64 held keys never sound at once:
        this is how 64 voices do. */
    std::vector<juce::MidiBuffer> notesFor (int voices);

    /** Seconds of audio one block lasts. */
    constexpr double blockSeconds = blockSize / sampleRate;

    /** A deterministic stereo signal with some spectral content for the loops to hold. */
    void fillInput (juce::AudioBuffer<float>& buffer, long long firstFrame);

    /** A processor as a host prepares it: stereo in and out, 48 kHz, 512 frames. */
    std::unique_ptr<OvarnbAudioProcessor> makeProcessor();

    /** Sets a parameter the way a host does, through its normalized value. */
    void setNormalized (OvarnbAudioProcessor& processor, const char* key, float normalized);

    /** Resident and virtual size of this process, in bytes (from /proc/self/statm). */
    struct ProcessMemory
    {
        double resident = 0.0;
        double virtualSize = 0.0;

        static ProcessMemory now();
    };

    /** CPU time of this thread, in seconds: unlike the wall clock it does not count
        the time the scheduler gives to other work on a shared machine. */
    double threadCpuSeconds() noexcept;

    /** CPU time one call takes on this thread, in seconds. */
    template <typename Fn>
    double cpuTimed (Fn&& fn)
    {
        const double start = threadCpuSeconds();
        fn();
        return threadCpuSeconds() - start;
    }

    /** Times one call with the steady clock, in seconds. */
    template <typename Fn>
    double timed (Fn&& fn)
    {
        const auto start = std::chrono::steady_clock::now();
        fn();
        const auto end = std::chrono::steady_clock::now();
        return std::chrono::duration<double> (end - start).count();
    }
}
