#pragma once

#include "EventSchedule.h"
#include "RenderOptions.h"
#include "TempoMap.h"
#include "processor/PluginProcessor.h"

#include <functional>

/** Runs audio and MIDI through an OvarnbAudioProcessor the way a host does: block by
    block, under the callback lock, with a play head that is playing from the start. */
namespace ProcessorRender
{
    /** A play head for offline rendering: playing, 4/4, tempo and position from a tempo map. */
    class PlayHead : public juce::AudioPlayHead
    {
    public:
        PlayHead (const TempoMap& map, double rate) : tempoMap (map), sampleRate (rate) {}

        void setBlockStart (juce::int64 sample) noexcept   { blockStart = sample; }

        juce::Optional<PositionInfo> getPosition() const override;

    private:
        const TempoMap& tempoMap;
        double sampleRate;
        juce::int64 blockStart = 0;
    };

    /** Sets a mono (1 in, 1 out) or stereo (2 in, 2 out) layout and the rate.
        Throws RenderError for other channel counts or a layout the processor refuses. */
    void configureLayout (OvarnbAudioProcessor& processor, int numChannels, double sampleRate, int blockSize);

    /** The number of samples to render: the input or the last MIDI event, whichever ends
        later, plus the tail. */
    juce::int64 getRenderLength (int inputSamples, const EventSchedule& events, double tailSeconds, double sampleRate);

    /** Prepares the processor and renders `numSamples` samples: the input (silence after
        its end) with the scheduled MIDI, `blockSize` samples at a time. `progress` is
        called with the fraction done after each block. */
    juce::AudioBuffer<float> render (OvarnbAudioProcessor& processor,
                                     const juce::AudioBuffer<float>& input,
                                     double sampleRate,
                                     const EventSchedule& events,
                                     const TempoMap& tempoMap,
                                     int blockSize,
                                     juce::int64 numSamples,
                                     const std::function<void (double)>& progress = {});
}

/** The sound settings of a render: presets, saved state and parameter overrides. */
namespace ProcessorSound
{
    /** The names of the bank's presets, in bank order. */
    juce::StringArray getPresetNames (OvarnbAudioProcessor& processor);

    /** Loads a preset by name (exact, else ignoring case). Throws RenderError (usage) with
        the available names when there is no such preset. */
    void loadPresetByName (OvarnbAudioProcessor& processor, const juce::String& name);

    /** Restores a saved state as written by getStateInformation (or the same element as
        plain XML text). Throws RenderError when the data is no saved state. */
    void loadState (OvarnbAudioProcessor& processor, const juce::MemoryBlock& data, const juce::String& sourceName);

    /** Writes internal values by key, in order; "poly" also rebuilds the voices. */
    void applyOverrides (OvarnbAudioProcessor& processor, const std::vector<ParameterOverride>& overrides);
}
