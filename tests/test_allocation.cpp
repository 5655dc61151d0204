#include "TestHelpers.h"

using namespace testing_support;

namespace
{
    struct SynthRig
    {
        explicit SynthRig (int poly)
        {
            p = makeProcessor();
            p->setParameter (ParameterIndex::poly, (float) poly / 32.0f);
            p->setParameter (ParameterIndex::release, 0.5f);   // a release long enough to watch
        }

        /** Plays events at position 0 of one block of quiet input. */
        void play (std::initializer_list<juce::MidiMessage> events)
        {
            juce::MidiBuffer midi;
            for (const auto& e : events)
                midi.addEvent (e, 0);
            juce::AudioBuffer<float> buffer (2, 512);
            for (int s = 0; s < 512; ++s)
                for (int ch = 0; ch < 2; ++ch)
                    buffer.setSample (ch, s, testSignal (frame + s, ch));
            frame += 512;
            p->processBlock (buffer, midi);
        }

        OvarnSynth& synth() { return p->getSynth(); }

        int countedVoices()
        {
            int n = 0;
            for (int i = 0; i < synth().getNumVoices(); ++i)
                n += synth().getVoice (i)->isPlayingQR() ? 1 : 0;
            return n;
        }

        std::vector<int> gateOpenNotes()
        {
            std::vector<int> notes;
            for (int i = 0; i < synth().getNumVoices(); ++i)
                if (synth().getVoice (i)->isGateOn())
                    notes.push_back (synth().getVoice (i)->currentNote);
            std::sort (notes.begin(), notes.end());
            return notes;
        }

        std::unique_ptr<OvarnbAudioProcessor> p;
        long long frame = 0;
    };
}

TEST (Allocation, FifthKeyOverPolyFourHardStopsTheOldest)
{
    SynthRig rig (4);
    rig.play ({ noteOn (60) });
    rig.play ({ noteOn (62) });
    rig.play ({ noteOn (64) });
    rig.play ({ noteOn (65) });
    rig.play ({ noteOn (67) });

    EXPECT_EQ (rig.gateOpenNotes(), (std::vector<int> { 62, 64, 65, 67 }));
    auto* oldest = rig.synth().getVoice (voiceIndexPlaying (rig.synth(), 60));
    EXPECT_FALSE (oldest->isPlayingQR());          // hard-stopped: no longer counted
    EXPECT_EQ (rig.countedVoices(), 4);
}

TEST (Allocation, ReleasingOldestIsNotStoppedAndFiveCountForAWhile)
{
    SynthRig rig (4);
    rig.play ({ noteOn (60), noteOn (62), noteOn (64), noteOn (65) });
    rig.play ({ noteOff (60) });                   // releasing with tail-off
    rig.play ({ noteOn (67) });

    EXPECT_EQ (rig.gateOpenNotes(), (std::vector<int> { 62, 64, 65, 67 }));
    EXPECT_EQ (rig.countedVoices(), 5);
    EXPECT_TRUE (rig.synth().getVoice (voiceIndexPlaying (rig.synth(), 60))->inRelease());
}

TEST (Allocation, ReStrikeHeldHardStopsButReleasingSoundsOn)
{
    SynthRig held (8);
    held.play ({ noteOn (60) });
    const int first = voiceIndexPlaying (held.synth(), 60);
    held.play ({ noteOn (60) });
    EXPECT_FALSE (held.synth().getVoice (first)->isPlayingQR());    // hard stop of the held one
    EXPECT_EQ (held.gateOpenNotes(), (std::vector<int> { 60 }));
    EXPECT_EQ (held.countedVoices(), 1);

    SynthRig releasing (8);
    releasing.play ({ noteOn (60) });
    releasing.play ({ noteOff (60) });
    releasing.play ({ noteOn (60) });
    EXPECT_EQ (releasing.countedVoices(), 2);      // both sound
}

TEST (Allocation, AllBusyStealsTheOldest)
{
    SynthRig rig (32);                              // 64 voices, limit 32: take them all with releases
    for (int n = 0; n < 64; ++n)
        rig.play ({ noteOn (n), noteOff (n) });
    rig.play ({ noteOn (100) });

    // every voice was busy: the one with the smallest stamp (note 0) was taken
    EXPECT_EQ (voiceIndexPlaying (rig.synth(), 0), -1);
    EXPECT_EQ (rig.synth().getVoice (0)->currentNote, 100);
}

TEST (Allocation, SustainAndSostenutoHoldGates)
{
    SynthRig rig (8);
    rig.play ({ cc (64, 127), noteOn (60) });
    rig.play ({ noteOff (60) });
    EXPECT_EQ (rig.gateOpenNotes(), (std::vector<int> { 60 }));
    rig.play ({ cc (64, 0) });
    EXPECT_TRUE (rig.gateOpenNotes().empty());

    rig.play ({ noteOn (62) });
    rig.play ({ cc (66, 127) });                    // catches 62 only
    rig.play ({ noteOn (64) });
    rig.play ({ noteOff (62), noteOff (64) });
    EXPECT_EQ (rig.gateOpenNotes(), (std::vector<int> { 62 }));
    rig.play ({ cc (66, 0) });
    EXPECT_TRUE (rig.gateOpenNotes().empty());
}

TEST (Allocation, AllNotesOffEmptiesTheGateSetAtOnce)
{
    SynthRig rig (8);
    rig.play ({ noteOn (60), noteOn (64) });
    rig.play ({ cc (123, 0) });
    EXPECT_TRUE (rig.synth().soundingVoices.isZero());
    EXPECT_EQ (rig.countedVoices(), 2);             // still releasing with tail-off
}

TEST (Allocation, SamePositionOnAndOffLeaveNothingHeld)
{
    SynthRig rig (8);
    rig.play ({ noteOn (60), noteOff (60) });
    EXPECT_TRUE (rig.gateOpenNotes().empty());
    EXPECT_TRUE (rig.synth().soundingVoices.isZero());
}

TEST (Allocation, VoiceQueriesOutsideTheListAreNull)
{
    SynthRig rig (8);
    EXPECT_EQ (rig.synth().getVoice (-1), nullptr);
    EXPECT_EQ (rig.synth().getVoice (rig.synth().getNumVoices()), nullptr);
}

TEST (Allocation, NewSampleRateHardStopsAndTheSameRateDoesNothing)
{
    SynthRig rig (8);
    rig.play ({ noteOn (60) });
    rig.p->prepareToPlay (44100.0, 512);
    EXPECT_EQ (rig.gateOpenNotes(), (std::vector<int> { 60 }));
    rig.p->prepareToPlay (48000.0, 512);
    EXPECT_TRUE (rig.gateOpenNotes().empty());
    EXPECT_EQ (rig.countedVoices(), 0);
}

//==============================================================================
TEST (NoteModes, LegatoGlidesWithoutRetriggerAndBack)
{
    SynthRig rig (0);
    rig.p->setParameter (ParameterIndex::glide, 0.5f);
    rig.play ({ noteOn (60) });
    auto* monoVoice = rig.p->getSynth().getVoice (0);
    auto& voice = voiceAt (rig.synth(), 0);
    const double loop = voice.getLoopLength();
    const float* published = rig.p->getSamples().load();
    (void) published;

    rig.play ({ noteOn (64) });
    EXPECT_EQ (voice.getNoteStack(), (std::vector<int> { 60, 64 }));
    EXPECT_EQ (voice.getLoopLength(), loop);          // no new loop
    EXPECT_NEAR (voice.getNoteFreq(), juce::MidiMessage::getMidiNoteInHertz (64) / 44100.0, 1e-12);
    EXPECT_EQ (rig.gateOpenNotes().size(), 1u);
    EXPECT_LT (voice.getPlayFreq(), voice.getNoteFreq());   // still gliding up

    rig.play ({ noteOff (64) });
    EXPECT_NEAR (voice.getNoteFreq(), juce::MidiMessage::getMidiNoteInHertz (60) / 44100.0, 1e-12);
    EXPECT_TRUE (monoVoice->isGateOn());
    rig.play ({ noteOff (60) });
    EXPECT_FALSE (monoVoice->isGateOn());
}

TEST (NoteModes, NoteDuringReleaseMovesToAnotherVoice)
{
    for (const int poly : { 0, 1 })
    {
        SynthRig rig (poly);
        rig.p->setParameter (ParameterIndex::glide, 0.5f);
        rig.play ({ noteOn (60) });
        rig.play ({ noteOn (72) });                   // legato up: the first voice glides
        rig.play ({ noteOff (72), noteOff (60) });
        const double reached = voiceAt (rig.synth(), 0).getGlidef();
        rig.play ({ noteOn (67) });

        auto& first = voiceAt (rig.synth(), 0);
        auto& second = voiceAt (rig.synth(), 1);
        EXPECT_FALSE (first.isPlayingQR()) << poly;   // cut with the hard-stop fade
        EXPECT_TRUE (second.isGateOn()) << poly;
        const double own = juce::MidiMessage::getMidiNoteInHertz (67) / 44100.0;

        if (poly == 0)   // legato: a detached note starts at its own pitch
            EXPECT_NEAR (second.getGlidef(), own, 1e-4 * own);
        else             // mono: it glides from where the old voice was
            EXPECT_GT (std::abs (second.getGlidef() - own), 0.01 * own) << reached;
    }
}

TEST (NoteModes, FirstMonoNoteStartsAtItsOwnPitch)
{
    SynthRig rig (1);
    rig.play ({ noteOn (69) });
    EXPECT_NEAR (voiceAt (rig.synth(), 0).getPlayFreq(), 440.0 / 44100.0, 1e-9);
}

TEST (NoteModes, PedalsDoNotHoldTheSingleVoice)
{
    SynthRig rig (0);
    rig.play ({ cc (64, 127), noteOn (60) });
    rig.play ({ noteOff (60) });
    EXPECT_TRUE (rig.gateOpenNotes().empty());
}

TEST (NoteModes, ControllersReachTheProcessorInEveryMode)
{
    for (const int poly : { 0, 1, 8 })
    {
        SynthRig rig (poly);
        rig.play ({ cc (1, 64) });
        EXPECT_DOUBLE_EQ (rig.p->getPlayState().modWheel, 0.5) << poly;
    }
}

TEST (Allocation, RebuiltVoicesSoundExactlyLikeNewOnes)
{
    // one processor wears its voices out with long, formant-stretched notes; the other
    // never plays; after the same poly change both must render a new note identically
    SynthRig used (8), fresh (8);
    used.p->setInternalValue (ParameterIndex::formant, 1.0);
    used.p->setParameter (ParameterIndex::wet, 1.0f);
    fresh.p->setParameter (ParameterIndex::wet, 1.0f);

    for (int b = 0; b < 40; ++b)
    {
        if (b == 0)
            used.play ({ noteOn (40), noteOn (45), noteOn (52) });
        else
            used.play ({});
        fresh.play ({});
    }

    used.p->setInternalValue (ParameterIndex::formant, 0.5);
    fresh.p->setInternalValue (ParameterIndex::formant, 0.5);
    used.p->setPoly (8);
    fresh.p->setPoly (8);

    juce::AudioBuffer<float> a (2, 512), b (2, 512);
    for (int block = 0; block < 20; ++block)
    {
        juce::MidiBuffer ma, mb;
        if (block == 0)
        {
            ma.addEvent (noteOn (47), 7);
            mb.addEvent (noteOn (47), 7);
        }
        for (int s = 0; s < 512; ++s)
            for (int ch = 0; ch < 2; ++ch)
                a.setSample (ch, s, testSignal (used.frame + s, ch));
        b.makeCopyOf (a);
        used.frame += 512;
        used.p->processBlock (a, ma);
        fresh.p->processBlock (b, mb);

        for (int ch = 0; ch < 2; ++ch)
            for (int s = 0; s < 512; ++s)
                ASSERT_EQ (a.getSample (ch, s), b.getSample (ch, s)) << block << " " << s;
    }
}
