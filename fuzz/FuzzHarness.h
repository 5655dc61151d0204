#pragma once

#include "processor/PluginProcessor.h"
#include "processor/PresetBank.h"

#include <cmath>

/** Feeds one input to a processor the way hosts and the preset menu would:
    as a saved state, then as a bank file whose every child is applied, each
    followed by a rendered block with a note held.

    Shared by the libFuzzer target and the test that replays the inputs the
    fuzzer once crashed on.
*/
class FuzzHarness
{
public:
    static constexpr int blockSize = 256;

    FuzzHarness()
        : bankFile (juce::File::getSpecialLocation (juce::File::tempDirectory)
                        .getNonexistentChildFile ("ovarn-fuzz-bank", ".ovb")),
          previousAlert (PresetBank::showAlert)
    {
        PresetBank::showAlert = [this] (const juce::String&, const juce::String&) { bankRejected = true; };
        processor.prepareToPlay (44100.0, blockSize);
    }

    ~FuzzHarness()
    {
        PresetBank::showAlert = previousAlert;
        bankFile.deleteFile();
    }

    /** Returns false when a rendered block held a sample that is not finite. */
    bool run (const void* data, size_t size)
    {
        bool allFinite = true;

        processor.setStateInformation (data, (int) size);
        allFinite &= renderHeldNote();

        if (! bankFile.replaceWithData (data, size))
            return allFinite;

        bankRejected = false;
        processor.loadBank (bankFile);

        if (! bankRejected)
        {
            const auto numPresets = processor.getPresetList()->getNumChildElements();

            for (int i = 0; i < numPresets; ++i)
            {
                processor.loadPreset (i);
                allFinite &= renderHeldNote();
            }
        }

        return allFinite;
    }

    OvarnbAudioProcessor& getProcessor() noexcept    { return processor; }

private:
    bool renderHeldNote()
    {
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        bool allFinite = true;

        for (int block = 0; block < 2; ++block)
        {
            for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
                for (int i = 0; i < blockSize; ++i)
                    buffer.setSample (ch, i, std::sin (0.05f * (float) (i + block * blockSize + ch)));

            midi.clear();

            if (block == 0)
                midi.addEvent (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100), 10);

            processor.processBlock (buffer, midi);

            for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
                for (int i = 0; i < blockSize; ++i)
                    allFinite &= std::isfinite (buffer.getSample (ch, i));
        }

        juce::MidiBuffer off;
        off.addEvent (juce::MidiMessage::noteOff (1, 60), 0);
        buffer.clear();
        processor.processBlock (buffer, off);
        return allFinite;
    }

    OvarnbAudioProcessor processor;
    juce::File bankFile;
    PresetBank::AlertFunction previousAlert;
    bool bankRejected = false;
};
