#include "TestHelpers.h"
#include <cfloat>

using namespace testing_support;

namespace
{
    bool isCleanSample (float x)
    {
        return std::isfinite (x) && (x == 0.0f || std::abs (x) >= FLT_MIN);
    }

    float abusiveParameterValue (juce::Random& r)
    {
        switch (r.nextInt (8))
        {
            case 0:  return std::numeric_limits<float>::quiet_NaN();
            case 1:  return r.nextBool() ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
            case 2:  return (r.nextFloat() - 0.5f) * 1.0e6f;
            case 3:  return r.nextBool() ? -0.5f : 1.5f;
            default: return r.nextFloat();
        }
    }

    float abusiveSample (juce::Random& r)
    {
        switch (r.nextInt (5))
        {
            case 0:  return std::numeric_limits<float>::quiet_NaN();
            case 1:  return std::numeric_limits<float>::infinity();
            case 2:  return 1.0e-40f;     // denormal
            case 3:  return 1.0e30f;
            default: return r.nextFloat() * 2.0f - 1.0f;
        }
    }

    void addMidiStorm (juce::MidiBuffer& midi, juce::Random& r, int numSamples)
    {
        for (int i = 0; i < 64; ++i)
        {
            const int pos = r.nextInt (numSamples);
            const int channel = 1 + r.nextInt (16);
            switch (r.nextInt (6))
            {
                case 0:  midi.addEvent (juce::MidiMessage::noteOn (channel, r.nextInt (128), (juce::uint8) r.nextInt (128)), pos); break;
                case 1:  midi.addEvent (juce::MidiMessage::noteOff (channel, r.nextInt (128)), pos); break;
                case 2:  midi.addEvent (juce::MidiMessage::pitchWheel (channel, r.nextInt (16384)), pos); break;
                case 3:  midi.addEvent (juce::MidiMessage::aftertouchChange (channel, r.nextInt (128), r.nextInt (128)), pos); break;
                default: midi.addEvent (juce::MidiMessage::controllerEvent (channel, r.nextInt (128), r.nextInt (128)), pos); break;
            }
        }
    }
}

TEST (HostAbuse, SurvivesWhatAValidatorThrowsAtIt)
{
    juce::Random r (1234);
    const double rates[] = { 22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };
    const int blockSizes[] = { 1, 2, 7, 64, 512, 4096 };
    auto p = makeProcessor();
    p->setParameter (ParameterIndex::lforetrig, 0.0f);   // the host-position lock runs too
    FakePlayHead head;
    p->setPlayHead (&head);

    for (int round = 0; round < 14; ++round)
    {
        const double rate = rates[round % (int) std::size (rates)];
        const int announced = blockSizes[r.nextInt ((int) std::size (blockSizes))];
        const int channels = 1 + (round % 2);
        const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        ASSERT_TRUE (p->setBusesLayout (layout));
        p->setRateAndBufferSizeDetails (rate, announced);
        p->prepareToPlay (rate, announced);                   // no releaseResources in between
        head.ppq = r.nextBool() ? -4.0 : r.nextDouble() * 1000.0;
        head.playing = r.nextBool();

        for (int block = 0; block < 24; ++block)
        {
            // sizes up to eight times what was announced
            const int n = 1 + r.nextInt (juce::jmin (4096, announced * 8));
            juce::AudioBuffer<float> buffer (channels, n);
            const bool abusiveInput = block < 12;

            for (int ch = 0; ch < channels; ++ch)
                for (int s = 0; s < n; ++s)
                    buffer.setSample (ch, s, abusiveInput ? abusiveSample (r) : testSignal (s, ch));

            for (auto* param : p->getParameters())
                if (r.nextInt (4) == 0 && param->getParameterIndex() != ParameterIndex::poly)
                    param->setValue (abusiveParameterValue (r));

            if (r.nextInt (10) == 0)
                p->getParameters()[ParameterIndex::poly]->setValue (abusiveParameterValue (r));

            juce::MidiBuffer midi;
            addMidiStorm (midi, r, n);
            p->processBlock (buffer, midi);

            if (abusiveInput || block <= 13)
                continue;

            for (int ch = 0; ch < channels; ++ch)
            {
                for (int s = 0; s < n; ++s)
                {
                    ASSERT_TRUE (isCleanSample (buffer.getSample (ch, s)))
                        << "round " << round << " block " << block << " sample " << s << ": " << buffer.getSample (ch, s);
                }
            }
        }
    }

    p->setPlayHead (nullptr);
}
