#pragma once

#include <gtest/gtest.h>
#include "processor/PluginProcessor.h"
#include "synth/ovarnDSP.h"

namespace testing_support
{
    /** A processor prepared as a host would: stereo (or mono), rate and block size set. */
    inline std::unique_ptr<OvarnbAudioProcessor> makeProcessor (double rate = 44100.0, int block = 512, int channels = 2)
    {
        auto p = std::make_unique<OvarnbAudioProcessor>();
        const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        p->setBusesLayout (layout);
        p->setRateAndBufferSizeDetails (rate, block);
        p->prepareToPlay (rate, block);
        return p;
    }

    /** A play head whose answers a test sets. */
    struct FakePlayHead : juce::AudioPlayHead
    {
        juce::Optional<PositionInfo> getPosition() const override
        {
            if (! hasPosition)
                return {};

            PositionInfo info;
            info.setBpm (bpm);
            info.setIsPlaying (playing);
            info.setPpqPosition (ppq);
            return info;
        }

        bool hasPosition = true;
        double bpm = 120.0;
        bool playing = false;
        double ppq = 0.0;
    };

    /** Counts change messages. */
    struct ChangeCounter : juce::ChangeListener
    {
        void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
        int count = 0;
    };

    inline juce::MidiMessage noteOn (int note, int channel = 1)   { return juce::MidiMessage::noteOn (channel, note, (juce::uint8) 100); }
    inline juce::MidiMessage noteOff (int note, int channel = 1)  { return juce::MidiMessage::noteOff (channel, note); }
    inline juce::MidiMessage cc (int number, int value, int channel = 1) { return juce::MidiMessage::controllerEvent (channel, number, value); }

    /** Runs blocks of constant input through the processor; events at (block, position). */
    inline void fill (juce::AudioBuffer<float>& b, float value)
    {
        for (int ch = 0; ch < b.getNumChannels(); ++ch)
            juce::FloatVectorOperations::fill (b.getWritePointer (ch), value, b.getNumSamples());
    }

    /** A deterministic test signal: a saw-like ramp of the given period plus a small sine. */
    inline float testSignal (long long frame, int channel = 0)
    {
        const double t = (double) frame;
        return (float) (0.5 * std::sin (t * 0.0123 + channel) + 0.25 * std::sin (t * 0.0571));
    }

    inline int voiceIndexPlaying (OvarnSynth& synth, int note)
    {
        for (int i = 0; i < synth.getNumVoices(); ++i)
            if (synth.getVoice (i)->currentNote == note)
                return i;
        return -1;
    }

    inline OvarnVoice& voiceAt (OvarnSynth& synth, int index)
    {
        return *dynamic_cast<OvarnVoice*> (synth.getVoice (index));
    }
}
