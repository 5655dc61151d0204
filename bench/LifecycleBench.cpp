// Building a processor, rebuilding its voices, and what the voices keep resident.

#include "BenchSupport.h"
#include "synth/ovarnDSP.h"

namespace
{
    using namespace bench;

    void runInput (OvarnbAudioProcessor& processor, double seconds, long long& frame)
    {
        juce::AudioBuffer<float> buffer (numChannels, blockSize);
        juce::MidiBuffer none;

        for (int b = 0; b < (int) std::ceil (seconds / blockSeconds); ++b)
        {
            fillInput (buffer, frame);
            frame += blockSize;
            processor.processBlock (buffer, none);
        }
    }

    void playBlock (OvarnbAudioProcessor& processor, juce::MidiBuffer midi, long long& frame)
    {
        juce::AudioBuffer<float> buffer (numChannels, blockSize);
        fillInput (buffer, frame);
        frame += blockSize;
        processor.processBlock (buffer, midi);
    }

    int countActive (OvarnbAudioProcessor& processor)
    {
        auto& synth = processor.getSynth();
        int count = 0;

        for (int i = 0; i < synth.getNumVoices(); ++i)
            if (auto* voice = dynamic_cast<OvarnVoice*> (synth.getVoice (i)); voice != nullptr && voice->isActive())
                ++count;

        return count;
    }

    /** A host creating the plug-in: constructor only (the first instance of the
        process, so the shared bank is read from disk each time). */
    void construction (benchmark::State& state)
    {
        for (auto _ : state)
        {
            std::unique_ptr<OvarnbAudioProcessor> processor;
            state.SetIterationTime (timed ([&] { processor = std::make_unique<OvarnbAudioProcessor>(); }));
            benchmark::DoNotOptimize (processor.get());
        }
    }

    /** A poly change to 32 (64 voices), from the default's 16. */
    void setPoly32 (benchmark::State& state)
    {
        auto processor = makeProcessor();

        for (auto _ : state)
        {
            processor->setPoly (8);
            state.SetIterationTime (timed ([&] { processor->setPoly (32); }));
        }

        state.counters["voices"] = processor->getSynth().getNumVoices();
    }

    /** Resident memory per voice, from /proc/self/statm: after building the
        processor (its constructor builds every voice a poly value can ask for),
        after 64 voices have sounded for longer than a loop array lasts (so every
        frame a note records has been written), and for a second instance built
        after a first one was destroyed. */
    void memoryPerVoice (benchmark::State& state)
    {
        constexpr double mib = 1024.0 * 1024.0;
        constexpr double voices = 64.0;

        for (auto _ : state)
        {
            const auto before = ProcessMemory::now();
            std::unique_ptr<OvarnbAudioProcessor> processor;
            const double firstBuildSeconds = timed ([&] { processor = makeProcessor(); });
            const auto built = ProcessMemory::now();

            long long frame = 0;
            setNormalized (*processor, "release", 1.0f);   // 1 s: released voices keep sounding
            setNormalized (*processor, "poly", 1.0f);      // 32 counted, 64 in use
            const int numVoices = processor->getSynth().getNumVoices();
            runInput (*processor, 10.0, frame);             // the capture ring is resident from here on
            const auto listening = ProcessMemory::now();

            for (auto events : notesFor (numNotes))
                playBlock (*processor, events, frame);

            // a note keeps recording into its loop: 441000 frames fill in 9.2 s at 48 kHz
            runInput (*processor, (OvarnVoice::loopFrames + 2 * blockSize) / sampleRate, frame);
            const int sounding = countActive (*processor);
            const auto played = ProcessMemory::now();

            const double rebuildSeconds = timed ([&] { processor->setPoly (32); });

            processor.reset();
            const auto destroyed = ProcessMemory::now();
            std::unique_ptr<OvarnbAudioProcessor> second;
            const double secondBuildSeconds = timed ([&] { second = makeProcessor(); });
            const auto secondBuilt = ProcessMemory::now();
            second.reset();

            if (numVoices != 64 || sounding != 64)
            {
                state.SkipWithError ("expected 64 voices built and sounding");
                return;
            }

            state.counters["built_MiB_per_voice"] = (built.resident - before.resident) / voices / mib;
            state.counters["played_MiB_per_voice"] = (played.resident - listening.resident) / voices / mib;
            state.counters["second_instance_MiB_per_voice"] = (secondBuilt.resident - destroyed.resident) / voices / mib;
            state.counters["vm_MiB_per_voice"] = (built.virtualSize - before.virtualSize) / voices / mib;
            // address space a voice's storage takes: its ceiling if every page were touched
            state.counters["storage_MiB_per_voice"] = (double) (2 * (OvarnVoice::loopFrames + OvarnVoice::seamFrames))
                                                     * sizeof (float) / mib;
            state.counters["setPoly32_after_play_ms"] = rebuildSeconds * 1000.0;
            // constructor and prepareToPlay, in a process that has never freed voices, and again
            state.counters["first_instance_ms"] = firstBuildSeconds * 1000.0;
            state.counters["second_instance_ms"] = secondBuildSeconds * 1000.0;
            state.SetIterationTime (rebuildSeconds);
        }
    }
}

// first, so that it sees the process before any other benchmark has freed voices
BENCHMARK (memoryPerVoice)->Name ("Ovarn/memory")->Iterations (1)->UseManualTime()->Unit (benchmark::kMillisecond);
BENCHMARK (construction)->Name ("Ovarn/construct")->UseManualTime()->Unit (benchmark::kMillisecond);
BENCHMARK (setPoly32)->Name ("Ovarn/setPoly32")->UseManualTime()->Unit (benchmark::kMillisecond);
