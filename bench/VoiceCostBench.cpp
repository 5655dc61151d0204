// What a block costs with 0, 1, 8, 32 and 64 voices sounding: Ovarn's
// processBlock against JUCE's own Synthesiser with SamplerVoices playing the same
// notes on the same stereo 512-frame blocks at 48 kHz.
//
// One iteration is a batch of 8 blocks, each written into the host's buffer
// and processed, timed as this thread's CPU time (a shared machine's other work
// does not count). Restarting the notes happens between batches, untimed.

#include "BenchSupport.h"
#include <juce_audio_formats/juce_audio_formats.h>
#include "synth/ovarnDSP.h"

namespace
{
    using namespace bench;

    constexpr int blocksPerBatch = 8;

    /** The input the host hands over, one buffer per block of a batch. */
    struct InputBlocks
    {
        InputBlocks()
        {
            for (int b = 0; b < blocksPerBatch; ++b)
            {
                blocks[(size_t) b].setSize (numChannels, blockSize);
                fillInput (blocks[(size_t) b], (long long) b * blockSize);
            }
        }

        /** What a host does before each call: its input goes into the buffer. */
        void writeInto (juce::AudioBuffer<float>& buffer, int block) const noexcept
        {
            for (int ch = 0; ch < numChannels; ++ch)
                buffer.copyFrom (ch, 0, blocks[(size_t) block], ch, 0, blockSize);
        }

        std::array<juce::AudioBuffer<float>, blocksPerBatch> blocks;
    };

    //==============================================================================
    class OvarnScene
    {
    public:
        /** Held voices never stop; released ones fall below the silence level about
            13.8 s after their note-off with a 1 s release: restart well before. */
        static constexpr int restartPeriodBlocks = 1024;

        explicit OvarnScene (int voicesIn) : voices (voicesIn), processor (makeProcessor())
        {
            setNormalized (*processor, "release", 1.0f);   // 1 s
        }

        void restart()
        {
            setNormalized (*processor, "poly", 1.0f);   // 32 counted voices, 64 in use, all silent
            juce::MidiBuffer none;

            for (int i = 0; i < 8; ++i)   // something to freeze
                run (none);

            for (auto events : notesFor (voices))
                run (events);

            run (none);
        }

        void batch (const InputBlocks& input)
        {
            for (int b = 0; b < blocksPerBatch; ++b)
            {
                input.writeInto (buffer, b);
                midi.clear();
                processor->processBlock (buffer, midi);
            }
        }

        int countSounding() const
        {
            auto& synth = processor->getSynth();
            int count = 0;

            for (int i = 0; i < synth.getNumVoices(); ++i)
                if (auto* voice = dynamic_cast<OvarnVoice*> (synth.getVoice (i)); voice != nullptr && voice->isActive())
                    ++count;

            return count;
        }

    private:
        void run (juce::MidiBuffer& events)
        {
            fillInput (buffer, frame);
            frame += blockSize;
            processor->processBlock (buffer, events);
        }

        const int voices;
        std::unique_ptr<OvarnbAudioProcessor> processor;
        juce::AudioBuffer<float> buffer { numChannels, blockSize };
        juce::MidiBuffer midi;
        long long frame = 0;
    };

    //==============================================================================
    /** What a JUCE developer gets off the shelf: a Synthesiser with 64
        SamplerVoices and one SamplerSound holding a one-second stereo sample. */
    class SamplerScene
    {
    public:
        /** The sample lasts one second at the highest note: restart well before. */
        static constexpr int restartPeriodBlocks = 64;

        explicit SamplerScene (int voicesIn) : voices (voicesIn)
        {
            juce::AudioBuffer<float> sample (numChannels, (int) sampleRate);
            fillInput (sample, 0);
            sample.applyGainRamp (0, sample.getNumSamples(), 1.0f, 0.0f);

            juce::MemoryBlock wav;
            juce::WavAudioFormat format;
            {
                std::unique_ptr<juce::AudioFormatWriter> writer (
                    format.createWriterFor (new juce::MemoryOutputStream (wav, false), sampleRate,
                                            (unsigned int) numChannels, 24, {}, 0));
                writer->writeFromAudioSampleBuffer (sample, 0, sample.getNumSamples());
            }

            std::unique_ptr<juce::AudioFormatReader> reader (
                format.createReaderFor (new juce::MemoryInputStream (wav, false), true));

            juce::BigInteger allNotes;
            allNotes.setRange (0, 128, true);
            // root at the highest note played: no note reads faster than the sample
            // rate, so every note lasts at least the sample's second; release 2 s
            synth.addSound (new juce::SamplerSound ("sample", *reader, allNotes, noteAt (numNotes - 1),
                                                    0.0, 2.0, 1.0));

            for (int i = 0; i < numNotes; ++i)
                synth.addVoice (new juce::SamplerVoice());

            synth.setCurrentPlaybackSampleRate (sampleRate);
        }

        void restart()
        {
            synth.allNotesOff (0, false);

            for (auto events : notesFor (voices))
                run (events);

            juce::MidiBuffer none;
            run (none);
        }

        /** A synthesiser plug-in's block: clear the buffer, render the voices into it. */
        void batch (const InputBlocks& input)
        {
            for (int b = 0; b < blocksPerBatch; ++b)
            {
                input.writeInto (buffer, b);
                midi.clear();
                buffer.clear();
                synth.renderNextBlock (buffer, midi, 0, blockSize);
            }
        }

        int countSounding() const
        {
            int count = 0;

            for (int i = 0; i < synth.getNumVoices(); ++i)
                if (synth.getVoice (i)->isVoiceActive())
                    ++count;

            return count;
        }

    private:
        void run (juce::MidiBuffer& events)
        {
            buffer.clear();
            synth.renderNextBlock (buffer, events, 0, blockSize);
        }

        const int voices;
        juce::Synthesiser synth;
        juce::AudioBuffer<float> buffer { numChannels, blockSize };
        juce::MidiBuffer midi;
    };

    //==============================================================================
    template <typename Scene>
    void voiceCost (benchmark::State& state)
    {
        const int voices = (int) state.range (0);
        const InputBlocks input;
        Scene scene (voices);
        scene.restart();

        if (scene.countSounding() != voices)
        {
            state.SkipWithError (("expected " + std::to_string (voices) + " voices sounding, found "
                                  + std::to_string (scene.countSounding())).c_str());
            return;
        }

        double seconds = 0.0;
        int sinceRestart = 0;

        for (auto _ : state)
        {
            if (sinceRestart + blocksPerBatch > Scene::restartPeriodBlocks)
            {
                scene.restart();
                sinceRestart = 0;
            }

            const double t = cpuTimed ([&] { scene.batch (input); });
            state.SetIterationTime (t);
            seconds += t;
            sinceRestart += blocksPerBatch;
        }

        if (scene.countSounding() != voices)
        {
            state.SkipWithError ("voices stopped sounding during the measurement");
            return;
        }

        const double blocks = (double) state.iterations() * blocksPerBatch;
        state.counters["voices"] = voices;
        state.counters["us_per_block"] = seconds * 1.0e6 / blocks;
        state.counters["realtime_fraction"] = seconds / (blocks * blockSeconds);

        if (voices > 0)
            state.counters["ns_per_voice_frame"] = seconds * 1.0e9 / (blocks * blockSize * voices);
    }
}

BENCHMARK_TEMPLATE (voiceCost, OvarnScene)
    ->Name ("Ovarn/processBlock")
    ->ArgName ("voices")->Arg (0)->Arg (1)->Arg (8)->Arg (32)->Arg (64)
    ->UseManualTime()->Unit (benchmark::kMicrosecond);

BENCHMARK_TEMPLATE (voiceCost, SamplerScene)
    ->Name ("JuceSampler/renderNextBlock")
    ->ArgName ("voices")->Arg (0)->Arg (1)->Arg (8)->Arg (32)->Arg (64)
    ->UseManualTime()->Unit (benchmark::kMicrosecond);
