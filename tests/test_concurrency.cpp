// Run under ThreadSanitizer (ThreadSafety.*) and RealtimeSanitizer (RealtimeSafety.*)
// by scripts/sanitize.sh; in the normal suite they run as plain stress tests.
// Under the real-time sanitizer processBlock itself is checked (it is marked
// non-blocking), and so is the automation a host sends on the audio thread.
#include "TestHelpers.h"
#include <atomic>
#include <thread>

using namespace testing_support;

namespace
{
    /** Runs fn as the audio thread's real-time context: under the real-time sanitizer
        everything it calls is checked, as inside processBlock itself. */
    template <typename Fn>
    void realtime (Fn&& fn) OVARN_NONBLOCKING
    {
        fn();
    }

    /** What a host's audio thread does for one block: automation, then the block under the callback lock. */
    struct AudioThreadScript
    {
        explicit AudioThreadScript (OvarnbAudioProcessor& proc) : p (proc), buffer (2, 256)
        {
            midi.ensureSize (4096);
        }

        void block (int index)
        {
            midi.clear();
            const int phase = index % 64;

            // notes, a legato overlap, pedals, the pitch wheel, controllers (one mapped, one learning)
            if (phase == 0)  { midi.addEvent (noteOn (60), 3); midi.addEvent (noteOn (64), 40); }
            if (phase == 8)  midi.addEvent (noteOn (67), 100);
            if (phase == 12) midi.addEvent (cc (64, 127), 0);
            if (phase == 16) midi.addEvent (noteOff (60), 10);
            if (phase == 20) midi.addEvent (juce::MidiMessage::pitchWheel (1, 12000), 50);
            if (phase == 24) midi.addEvent (cc (64, 0), 0);
            if (phase == 28) { midi.addEvent (noteOff (64), 0); midi.addEvent (noteOff (67), 1); }
            if (phase == 30) midi.addEvent (cc (1, index % 128), 5);
            if (phase == 32) midi.addEvent (cc (21, index % 128), 7);
            if (phase == 40) midi.addEvent (cc (66, 127), 0);
            if (phase == 44) midi.addEvent (cc (66, 0), 0);
            if (phase == 48) midi.addEvent (cc (123, 0), 0);

            for (int ch = 0; ch < 2; ++ch)
                for (int s = 0; s < buffer.getNumSamples(); ++s)
                    buffer.setSample (ch, s, testSignal ((long long) index * 256 + s, ch));

            const juce::ScopedLock sl (p.getCallbackLock());
            auto& params = p.getParameters();

            realtime ([&]
            {
                // host automation arrives on the audio thread, between blocks
                params[ParameterIndex::pitch]->setValue ((float) (index % 100) / 100.0f);
                params[ParameterIndex::formant]->setValue ((float) (index % 37) / 37.0f);
                params[ParameterIndex::lfoshape]->setValue ((float) (index % 6) / 5.0f);
                p.processBlock (buffer, midi);
            });
        }

        OvarnbAudioProcessor& p;
        juce::AudioBuffer<float> buffer;
        juce::MidiBuffer midi;
    };
}

TEST (ThreadSafety, MessageThreadWorkBesideTheAudioThread)
{
    auto p = makeProcessor (48000.0, 256);
    p->setParameter (ParameterIndex::link, 1.0f);
    p->setMidiCC (ParameterIndex::wet, 21);
    std::atomic<bool> running { true };

    std::thread audio ([&]
    {
        AudioThreadScript script (*p);
        for (int b = 0; running.load(); ++b)
            script.block (b);
    });

    juce::MemoryBlock state;
    p->getStateInformation (state);

    // what the message thread does: the editor's changes, presets and state, controller
    // assignment, poly changes, the 100 ms timer, the editor opening and closing
    for (int round = 0; round < 60; ++round)
    {
        auto* editor = p->createEditorIfNeeded();
        auto* param = p->getParameters()[ParameterIndex::wet];
        param->beginChangeGesture();
        param->setValueNotifyingHost ((float) (round % 10) / 10.0f);
        param->endChangeGesture();

        p->autoDetectMidiCC (ParameterIndex::smooth);
        p->setMidiCC (ParameterIndex::glide, 30 + round % 5);
        p->timerCallback();

        if (round % 10 == 0)
            p->setPoly (round % 3 == 0 ? 1 : 8);
        if (round % 15 == 0)
            p->loadPreset (round % 5);
        if (round % 20 == 0)
            p->setStateInformation (state.getData(), (int) state.getSize());

        p->getParameterText (ParameterIndex::formant);
        p->editorBeingDeleted (editor);
        delete editor;
        std::this_thread::sleep_for (std::chrono::milliseconds (2));
    }

    running = false;
    audio.join();
    EXPECT_EQ (p->getSynth().getNumVoices() >= 8, true);
}

TEST (RealtimeSafety, PlayingNeverAllocatesOrLocks)
{
    auto p = makeProcessor (48000.0, 256);
    p->setMidiCC (ParameterIndex::wet, 21);
    p->setMidiCC (ParameterIndex::poly, 22);          // rebuilds the voices from the audio thread
    p->setParameter (ParameterIndex::link, 1.0f);
    p->setParameter (ParameterIndex::lforetrig, 0.0f);
    FakePlayHead head;
    head.playing = true;
    p->setPlayHead (&head);

    AudioThreadScript script (*p);

    // several seconds of audio, learning a controller on the way
    for (int b = 0; b < 1200; ++b)
    {
        if (b == 100)
            p->autoDetectMidiCC (ParameterIndex::smooth);
        head.ppq = b * 0.0213;
        if (b % 64 == 33)
        {
            // the poly controller, sent on its own block
            script.midi.clear();
            script.midi.addEvent (cc (22, 32 + (b / 64) % 40), 0);
            const juce::ScopedLock sl (p->getCallbackLock());
            p->processBlock (script.buffer, script.midi);
        }
        script.block (b);
    }

    head.playing = false;
    script.block (1200);                               // transport stop
    EXPECT_TRUE (p->getSynth().soundingVoices.isZero());
    p->setPlayHead (nullptr);
}
