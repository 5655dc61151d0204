#include "TestHelpers.h"

using namespace testing_support;

namespace
{
    std::vector<std::pair<int, int>> positionsAndStatus (const juce::MidiBuffer& b)
    {
        std::vector<std::pair<int, int>> out;
        for (const auto e : b)
            out.emplace_back (e.samplePosition, e.data[0] & 0xf0);
        return out;
    }
}

TEST (MidiDelay, FixedDelayHoldsNotesButNotControllers)
{
    auto p = makeProcessor (48000.0, 512);
    p->setParameter (ParameterIndex::mididelay, 0.5f);    // half a second: 24000 samples

    juce::MidiBuffer in;
    in.addEvent (noteOn (60), 100);
    in.addEvent (cc (7, 10), 100);
    in.addEvent (juce::MidiMessage::pitchWheel (1, 9000), 200);

    p->midiDelay (in, 512);
    EXPECT_EQ (positionsAndStatus (p->getDelayedMidi()), (std::vector<std::pair<int, int>> { { 100, 0xb0 }, { 200, 0xe0 } }));
    EXPECT_EQ (positionsAndStatus (p->getPendingMidi()), (std::vector<std::pair<int, int>> { { 24100 - 512, 0x90 } }));

    // carried block after block until it falls inside one: 24100 = 47 × 512 + 36
    const juce::MidiBuffer none;
    for (int block = 1; block < 47; ++block)
    {
        p->midiDelay (none, 512);
        ASSERT_EQ (p->getPendingMidi().getNumEvents(), 1) << block;
        for (const auto e : p->getDelayedMidi())
            EXPECT_GE (e.samplePosition, 512);   // beyond this block: not played
    }

    p->midiDelay (none, 512);
    EXPECT_EQ (positionsAndStatus (p->getDelayedMidi()), (std::vector<std::pair<int, int>> { { 36, 0x90 } }));
    EXPECT_TRUE (p->getPendingMidi().isEmpty());
}

TEST (MidiDelay, OnePeriodModeDelaysByThePeriodOfEachNote)
{
    const struct { float pitchNormalized; int note; int expected; } cases[] = {
        { 0.5f,   69, 100 },   // 44100 / 440 = 100.227
        { 0.625f, 69, 50 },    // pitch 0.25: one octave up
        { 0.5f,   81, 50 },
        { 0.5f,   57, 200 },
    };

    for (const auto& c : cases)
    {
        auto p = makeProcessor (44100.0, 4096);
        p->setParameter (ParameterIndex::mididelay, 1.0f);
        p->setParameter (ParameterIndex::pitch, c.pitchNormalized);

        juce::MidiBuffer in;
        in.addEvent (noteOn (c.note), 10);
        in.addEvent (noteOff (c.note), 20);
        p->midiDelay (in, 4096);
        EXPECT_EQ (positionsAndStatus (p->getDelayedMidi()),
                   (std::vector<std::pair<int, int>> { { 10 + c.expected, 0x90 }, { 20 + c.expected, 0x80 } })) << c.note;
    }
}

TEST (MidiDelay, OutOfRangeDelaysStayBounded)
{
    auto p = makeProcessor (44100.0, 512);

    for (double delay : { -5.0, 1e300 })
    {
        p->setInternalValue (ParameterIndex::mididelay, delay);
        juce::MidiBuffer in;
        in.addEvent (noteOn (60), 5);
        p->midiDelay (in, 512);
        const auto& target = delay < 0 ? p->getDelayedMidi() : p->getPendingMidi();
        ASSERT_EQ (target.getNumEvents(), 1);
        EXPECT_GE (target.getFirstEventTime(), 0);
    }
}

//==============================================================================
TEST (CaptureRing, WrapsAfterItsLength)
{
    for (const int frames : { 441000, 441001 })
    {
        auto p = makeProcessor (44100.0, 4096);
        juce::AudioBuffer<float> buffer (2, 4096);
        juce::MidiBuffer midi;
        long long written = 0;

        while (written < frames)
        {
            const int n = (int) std::min<long long> (4096, frames - written);
            buffer.setSize (2, n, false, false, true);
            for (int s = 0; s < n; ++s)
                for (int ch = 0; ch < 2; ++ch)
                    buffer.setSample (ch, s, (float) (written + s + 1) * (ch == 0 ? 1.0f : -1.0f));
            p->processBlock (buffer, midi);
            written += n;
        }

        auto& capture = p->getSynth().getCapture();
        EXPECT_EQ (capture.getWriteIndex(), frames - 441000);
        EXPECT_EQ (capture.getChannel (0)[440999], 441000.0f);
        if (frames == 441001)
        {
            EXPECT_EQ (capture.getChannel (0)[0], 441001.0f);
            EXPECT_EQ (capture.getChannel (1)[0], -441001.0f);
        }
    }
}

TEST (CaptureRing, OneChannelBlocksFillChannelZeroOnly)
{
    auto p = makeProcessor (44100.0, 64, 1);
    juce::AudioBuffer<float> buffer (1, 64);
    fill (buffer, 0.25f);
    juce::MidiBuffer midi;
    p->processBlock (buffer, midi);

    const auto& capture = p->getSynth().getCapture();
    EXPECT_EQ (capture.getWriteIndex(), 64);
    EXPECT_EQ (capture.getChannel (0)[63], 0.25f);
    EXPECT_EQ (capture.getChannel (1)[63], 0.0f);
}

namespace
{
    /** Output of a run of constant-input blocks, per block the last sample of channel 0. */
    std::vector<float> runConstant (OvarnbAudioProcessor& p, int blocks, float input, juce::MidiBuffer first = {})
    {
        std::vector<float> lastSamples;
        juce::AudioBuffer<float> buffer (2, 512);

        for (int b = 0; b < blocks; ++b)
        {
            fill (buffer, input);
            juce::MidiBuffer midi;
            if (b == 0) midi = first;
            p.processBlock (buffer, midi);
            EXPECT_TRUE (midi.isEmpty());    // no MIDI comes out
            lastSamples.push_back (buffer.getSample (0, 511));
        }
        return lastSamples;
    }
}

TEST (DryPath, FadesInAndPassesInputAtHalfWet)
{
    auto p = makeProcessor();
    const auto out = runConstant (*p, 20, 0.5f);
    EXPECT_LT (out.front(), 0.5f);                 // starts faded out, rises with the release time
    EXPECT_FLOAT_EQ (out.back(), 0.5f);
}

TEST (DryPath, WetOneCarriesNoDrySignal)
{
    auto p = makeProcessor();
    p->setParameter (ParameterIndex::wet, 1.0f);
    for (float v : runConstant (*p, 20, 0.5f))
        EXPECT_EQ (v, 0.0f);
}

TEST (DryPath, HeldNoteFadesTheDrySignalOutAndReleaseBringsItBack)
{
    auto p = makeProcessor();
    p->setParameter (ParameterIndex::wet, 0.5f);
    runConstant (*p, 20, 0.0f);                    // settle the fade-in with silence

    juce::MidiBuffer on;
    on.addEvent (noteOn (69), 0);
    juce::AudioBuffer<float> buffer (2, 512);
    fill (buffer, 0.0f);
    p->processBlock (buffer, on);
    EXPECT_FALSE (p->getSynth().soundingVoices.isZero());
    EXPECT_LT (p->getSynth().getDryLevel(), 0.01);     // attack 2 ms: about six time constants in a block

    juce::MidiBuffer off;
    off.addEvent (noteOff (69), 0);
    fill (buffer, 0.0f);
    p->processBlock (buffer, off);
    EXPECT_TRUE (p->getSynth().soundingVoices.isZero());
    EXPECT_GT (p->getSynth().getDryLevel(), 0.99);     // released: back with the release time
}

TEST (DryPath, TransportStopReleasesNotesAndStartDoesNothing)
{
    auto p = makeProcessor();
    FakePlayHead head;
    p->setPlayHead (&head);
    juce::AudioBuffer<float> buffer (2, 512);
    fill (buffer, 0.1f);

    head.playing = true;
    juce::MidiBuffer on;
    on.addEvent (noteOn (60), 0);
    p->processBlock (buffer, on);
    ASSERT_FALSE (p->getSynth().soundingVoices.isZero());

    juce::MidiBuffer none;
    p->processBlock (buffer, none);                  // still playing: held
    EXPECT_FALSE (p->getSynth().soundingVoices.isZero());

    head.playing = false;
    p->processBlock (buffer, none);
    EXPECT_TRUE (p->getSynth().soundingVoices.isZero());
    auto& voice = voiceAt (p->getSynth(), voiceIndexPlaying (p->getSynth(), 60) >= 0 ? voiceIndexPlaying (p->getSynth(), 60) : 0);
    EXPECT_FALSE (voice.isGateOn());

    // no play head: the last playing state and tempo are kept
    head.playing = true;
    p->processBlock (buffer, none);
    juce::MidiBuffer again;
    again.addEvent (noteOn (62), 0);
    p->processBlock (buffer, again);
    p->setPlayHead (nullptr);
    p->processBlock (buffer, none);
    EXPECT_FALSE (p->getSynth().soundingVoices.isZero());
    EXPECT_DOUBLE_EQ (p->getPlayState().barsPerSecond, 0.5);
}
