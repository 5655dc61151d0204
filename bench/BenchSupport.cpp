#include "BenchSupport.h"
#include <cmath>
#include <fstream>
#include <time.h>
#include <unistd.h>

namespace bench
{
    void fillInput (juce::AudioBuffer<float>& buffer, long long firstFrame)
    {
        for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        {
            auto* out = buffer.getWritePointer (ch);

            for (int s = 0; s < buffer.getNumSamples(); ++s)
            {
                const double t = (double) (firstFrame + s) / sampleRate;
                out[s] = (float) (0.3 * std::sin (juce::MathConstants<double>::twoPi * (220.0 + 110.0 * ch) * t)
                                + 0.2 * std::sin (juce::MathConstants<double>::twoPi * 1375.0 * t)
                                + 0.1 * std::sin (juce::MathConstants<double>::twoPi * 3100.0 * t + ch));
            }
        }
    }

    juce::MidiBuffer notesOn (int first, int count)
    {
        juce::MidiBuffer midi;
        for (int i = first; i < first + count; ++i)
            midi.addEvent (juce::MidiMessage::noteOn (1, noteAt (i), (juce::uint8) 100), 0);
        return midi;
    }

    juce::MidiBuffer notesOff (int first, int count)
    {
        juce::MidiBuffer midi;
        for (int i = first; i < first + count; ++i)
            midi.addEvent (juce::MidiMessage::noteOff (1, noteAt (i)), 0);
        return midi;
    }

    std::vector<juce::MidiBuffer> notesFor (int voices)
    {
        if (voices <= 0)
            return {};

        if (voices <= 32)
            return { notesOn (0, voices) };

        jassert (voices == numNotes);
        return { notesOn (0, 32), notesOff (0, 32), notesOn (32, 32) };
    }

    std::unique_ptr<OvarnbAudioProcessor> makeProcessor()
    {
        auto processor = std::make_unique<OvarnbAudioProcessor>();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (juce::AudioChannelSet::stereo());
        layout.outputBuses.add (juce::AudioChannelSet::stereo());
        processor->setBusesLayout (layout);
        processor->setRateAndBufferSizeDetails (sampleRate, blockSize);
        processor->prepareToPlay (sampleRate, blockSize);
        return processor;
    }

    void setNormalized (OvarnbAudioProcessor& processor, const char* key, float normalized)
    {
        const int index = OvarnbAudioProcessor::findParameterIndex (key);
        jassert (index >= 0);
        processor.getParameters()[index]->setValue (normalized);
    }

    double threadCpuSeconds() noexcept
    {
        timespec t {};
        clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
        return (double) t.tv_sec + 1.0e-9 * (double) t.tv_nsec;
    }

    ProcessMemory ProcessMemory::now()
    {
        std::ifstream statm ("/proc/self/statm");
        double sizePages = 0.0, residentPages = 0.0;
        statm >> sizePages >> residentPages;
        const auto page = (double) sysconf (_SC_PAGESIZE);
        return { residentPages * page, sizePages * page };
    }
}
