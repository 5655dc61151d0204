#include "TestHelpers.h"

using namespace testing_support;

namespace
{
    struct Updates : juce::AsyncUpdater
    {
        void handleAsyncUpdate() override { ++count; }
        int count = 0;
    };
}

TEST (Notifications, IdleTimerPublishesTheNewestInputWindow)
{
    auto p = makeProcessor();
    Updates updates;
    auto& capture = p->getSynth().getCapture();

    p->timerCallback();                                     // no editor: nothing is published
    EXPECT_EQ (p->getLength().load(), 0);

    p->registerAsyncHandler (&updates);
    const struct { int writeIndex; int start; } cases[] = { { 5000, 4488 }, { 300, 512 }, { 440999, 440487 }, { 0, 512 } };

    for (const auto& c : cases)
    {
        capture.setWriteIndex (c.writeIndex);
        p->timerCallback();
        updates.handleUpdateNowIfNeeded();
        EXPECT_EQ (p->getSamples().load(), capture.getChannel (0) + c.start) << c.writeIndex;
        EXPECT_EQ (p->getLength().load(), 512);
    }

    EXPECT_EQ (updates.count, (int) std::size (cases));
    p->registerAsyncHandler (nullptr);
}

TEST (Notifications, HeldNotePublishesItsLoopAndTheTimerStaysQuiet)
{
    auto p = makeProcessor();
    Updates updates;
    p->registerAsyncHandler (&updates);

    juce::MidiBuffer midi;
    midi.addEvent (noteOn (69), 0);
    juce::AudioBuffer<float> buffer (2, 512);
    buffer.clear();
    p->processBlock (buffer, midi);

    const int index = voiceIndexPlaying (p->getSynth(), 69);
    ASSERT_GE (index, 0);
    p->timerCallback();                                     // delivers the voice's loop
    updates.handleUpdateNowIfNeeded();
    EXPECT_EQ (p->getSamples().load(), voiceAt (p->getSynth(), index).getLoop (0));
    EXPECT_EQ (p->getLength().load(), 100);
    EXPECT_EQ (updates.count, 1);

    p->timerCallback();                                     // a gate is open: the loop stays shown
    updates.handleUpdateNowIfNeeded();
    EXPECT_EQ (updates.count, 1);
    EXPECT_EQ (p->getSamples().load(), voiceAt (p->getSynth(), index).getLoop (0));
    p->registerAsyncHandler (nullptr);
}

TEST (Notifications, LinkFromAnyThreadIsDeliveredByTheTimer)
{
    ChangeCounter counter;

    auto p = makeProcessor();
    p->addChangeListener (&counter);
    p->setParameter (ParameterIndex::link, 1.0f);

    std::thread audio ([&] { for (int i = 0; i < 10; ++i) p->setParameter (ParameterIndex::pitch, 0.1f * (float) i); });
    audio.join();
    p->dispatchPendingMessages();
    EXPECT_EQ (counter.count, 0);                           // nothing was posted from that thread

    p->timerCallback();
    p->dispatchPendingMessages();
    EXPECT_EQ (counter.count, 1);                           // many moves, one message
    p->removeChangeListener (&counter);
}
