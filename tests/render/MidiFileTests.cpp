#include "EventSchedule.h"
#include "MidiFileNotes.h"
#include "RenderError.h"
#include "RenderTestHelpers.h"

#include <gtest/gtest.h>

namespace
{
    /** Builds standard MIDI files byte by byte, independent of the reader under test. */
    struct SmfTrack
    {
        std::vector<juce::uint8> bytes;
        juce::uint32 lastTick = 0;

        void delta (juce::uint32 tick)
        {
            auto d = tick - lastTick;
            lastTick = tick;
            std::vector<juce::uint8> vlq { (juce::uint8) (d & 0x7f) };
            while ((d >>= 7) != 0)
                vlq.insert (vlq.begin(), (juce::uint8) (0x80 | (d & 0x7f)));
            bytes.insert (bytes.end(), vlq.begin(), vlq.end());
        }

        SmfTrack& tempo (juce::uint32 tick, double bpm)
        {
            const auto micros = (juce::uint32) std::llround (60000000.0 / bpm);
            delta (tick);
            bytes.insert (bytes.end(), { 0xff, 0x51, 0x03, (juce::uint8) (micros >> 16), (juce::uint8) (micros >> 8), (juce::uint8) micros });
            return *this;
        }

        SmfTrack& on (juce::uint32 tick, int note, int velocity = 100, int channel = 0)
        {
            delta (tick);
            bytes.insert (bytes.end(), { (juce::uint8) (0x90 | channel), (juce::uint8) note, (juce::uint8) velocity });
            return *this;
        }

        SmfTrack& off (juce::uint32 tick, int note, int channel = 0)
        {
            delta (tick);
            bytes.insert (bytes.end(), { (juce::uint8) (0x80 | channel), (juce::uint8) note, 0x40 });
            return *this;
        }

        SmfTrack& controller (juce::uint32 tick, int number, int value, int channel = 0)
        {
            delta (tick);
            bytes.insert (bytes.end(), { (juce::uint8) (0xb0 | channel), (juce::uint8) number, (juce::uint8) value });
            return *this;
        }
    };

    std::vector<juce::uint8> smf (int format, int division, std::vector<SmfTrack> tracks)
    {
        std::vector<juce::uint8> out { 'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, (juce::uint8) format, 0,
                                       (juce::uint8) tracks.size(), (juce::uint8) (division >> 8), (juce::uint8) division };

        for (auto& t : tracks)
        {
            t.delta (t.lastTick);
            t.bytes.insert (t.bytes.end(), { 0xff, 0x2f, 0x00 });   // end of track
            const auto n = (juce::uint32) t.bytes.size();
            out.insert (out.end(), { 'M', 'T', 'r', 'k', (juce::uint8) (n >> 24), (juce::uint8) (n >> 16),
                                     (juce::uint8) (n >> 8), (juce::uint8) n });
            out.insert (out.end(), t.bytes.begin(), t.bytes.end());
        }

        return out;
    }

    MidiPart read (const std::vector<juce::uint8>& bytes)
    {
        return MidiFileNotes::read (bytes.data(), bytes.size(), "test.mid");
    }

    /** 480 ticks per quarter: 120 bpm, then 60 bpm at tick 960 (1 s), then 240 bpm at tick 1920 (3 s). */
    SmfTrack tempoTrack()
    {
        SmfTrack t;
        t.tempo (0, 120.0).tempo (960, 60.0).tempo (1920, 240.0);
        return t;
    }

    TEST (MidiFile, TempoChangesPlaceNotesAtTheRightSamples)
    {
        SmfTrack notes;
        notes.on (480, 60).off (1440, 60).on (2400, 64, 80, 2).controller (2400, 1, 64, 2).off (2880, 64, 2);
        const auto part = read (smf (1, 480, { tempoTrack(), notes }));

        ASSERT_EQ (part.notes.size(), 2u);
        EXPECT_DOUBLE_EQ (part.notes[0].startSeconds, 0.5);    // 480 ticks at 120 bpm
        EXPECT_DOUBLE_EQ (part.notes[0].endSeconds, 2.0);      // 1 s, then a quarter at 60 bpm
        EXPECT_DOUBLE_EQ (part.notes[1].startSeconds, 3.25);   // 3 s, then a quarter at 240 bpm
        EXPECT_DOUBLE_EQ (part.notes[1].endSeconds, 3.5);
        EXPECT_EQ (part.notes[1].velocity, 80);
        EXPECT_EQ (part.notes[1].channel, 3);

        const EventSchedule schedule (part.notes, part.controls, 48000.0);
        std::vector<std::pair<juce::int64, juce::String>> placed;
        for (const auto& e : schedule.getEvents())
            placed.push_back ({ e.sample, e.message.getDescription() });

        const std::vector<std::pair<juce::int64, juce::String>> expected {
            { 24000, "Note on C3 Velocity 100 Channel 1" },
            { 96000, "Note off C3 Velocity 0 Channel 1" },
            { 156000, "Controller Modulation Wheel (coarse): 64 Channel 3" },
            { 156000, "Note on E3 Velocity 80 Channel 3" },
            { 168000, "Note off E3 Velocity 0 Channel 3" } };
        EXPECT_EQ (placed, expected);
    }

    TEST (MidiFile, TempoMapGivesThePlayHeadTheFilesTempoAndPosition)
    {
        SmfTrack notes;
        notes.on (0, 60).off (480, 60);
        const auto part = read (smf (1, 480, { tempoTrack(), notes }));

        EXPECT_TRUE (part.hasTempoEvents);
        EXPECT_DOUBLE_EQ (part.tempoMap.getBpmAt (0.9), 120.0);
        EXPECT_DOUBLE_EQ (part.tempoMap.getBpmAt (1.0), 60.0);
        EXPECT_DOUBLE_EQ (part.tempoMap.getBpmAt (2.99), 60.0);
        EXPECT_DOUBLE_EQ (part.tempoMap.getBpmAt (3.0), 240.0);
        EXPECT_DOUBLE_EQ (part.tempoMap.getPpqAt (0.5), 1.0);
        EXPECT_DOUBLE_EQ (part.tempoMap.getPpqAt (2.0), 3.0);
        EXPECT_DOUBLE_EQ (part.tempoMap.getPpqAt (3.25), 5.0);    // tick 2400 / 480
        EXPECT_DOUBLE_EQ (part.tempoMap.getSecondsAtPpq (5.0), 3.25);
    }

    TEST (MidiFile, TempoEventsInsideTheNoteTrackOfAFormat0File)
    {
        SmfTrack t;
        t.tempo (0, 100.0).on (96, 48).tempo (192, 50.0).off (288, 48);
        const auto part = read (smf (0, 96, { t }));

        ASSERT_EQ (part.notes.size(), 1u);
        EXPECT_DOUBLE_EQ (part.notes[0].startSeconds, 0.6);         // a quarter at 100 bpm
        EXPECT_DOUBLE_EQ (part.notes[0].endSeconds, 1.2 + 1.2);     // two quarters at 100, one at 50
    }

    TEST (MidiFile, WithoutTempoEventsItIs120Bpm)
    {
        SmfTrack t;
        t.on (960, 60).off (1920, 60);
        const auto part = read (smf (0, 480, { t }));

        EXPECT_FALSE (part.hasTempoEvents);
        EXPECT_DOUBLE_EQ (part.notes[0].startSeconds, 1.0);
        EXPECT_DOUBLE_EQ (part.notes[0].endSeconds, 2.0);
        EXPECT_DOUBLE_EQ (part.tempoMap.getBpmAt (5.0), 120.0);
    }

    TEST (MidiFile, SmpteTimingIgnoresTempo)
    {
        SmfTrack t;
        t.tempo (0, 60.0).on (100, 60).off (250, 60);
        // 25 frames per second, 40 ticks per frame: 1000 ticks per second.
        const auto part = read (smf (0, ((256 - 25) << 8) | 40, { t }));

        EXPECT_DOUBLE_EQ (part.notes[0].startSeconds, 0.1);
        EXPECT_DOUBLE_EQ (part.notes[0].endSeconds, 0.25);
    }

    TEST (MidiFile, ANoteThatIsNeverReleasedLastsToTheEndOfTheFile)
    {
        SmfTrack t;
        t.on (0, 60).on (480, 62).off (960, 62).controller (1440, 64, 0);
        const auto part = read (smf (0, 480, { t }));

        ASSERT_EQ (part.notes.size(), 2u);
        EXPECT_DOUBLE_EQ (part.notes[0].endSeconds, 1.5);
    }

    TEST (MidiFile, VelocityZeroNoteOnEndsANote)
    {
        SmfTrack t;
        t.on (0, 60).on (480, 60, 0);
        const auto part = read (smf (0, 480, { t }));

        ASSERT_EQ (part.notes.size(), 1u);
        EXPECT_DOUBLE_EQ (part.notes[0].endSeconds, 0.5);
    }

    TEST (MidiFile, FilesWithoutNotesOrNotMidiAreErrors)
    {
        SmfTrack onlyControllers;
        onlyControllers.controller (0, 1, 10);
        const auto noNotes = smf (1, 480, { tempoTrack(), onlyControllers });
        const std::vector<juce::uint8> text { 'n', 'o', 't', ' ', 'm', 'i', 'd', 'i', ' ', 'a', 't', ' ', 'a', 'l', 'l' };
        const auto truncated = std::vector<juce::uint8> (noNotes.begin(), noNotes.begin() + 20);

        const std::pair<const std::vector<juce::uint8>*, const char*> cases[] = {
            { &noNotes, "'test.mid' contains no notes" },
            { &text, "'test.mid' is not a standard MIDI file" },
            { &truncated, "'test.mid' is not a standard MIDI file" } };

        for (const auto& [bytes, message] : cases)
        {
            try
            {
                read (*bytes);
                ADD_FAILURE() << "accepted, expected: " << message;
            }
            catch (const RenderError& e)
            {
                EXPECT_EQ (e.getMessage(), message);
                EXPECT_EQ (e.exitCode, RenderExit::failure);
            }
        }
    }

    TEST (EventOrder, OnTheSameSampleOffsGoBeforeControllersBeforeOns)
    {
        const std::vector<NoteEvent> notes { { 60, 0.0, 1.0, 100, 1 }, { 62, 1.0, 2.0, 100, 1 } };
        const std::vector<TimedMessage> controls { { 1.0, juce::MidiMessage::controllerEvent (1, 1, 5) } };
        const EventSchedule schedule (notes, controls, 1000.0);

        juce::MidiBuffer midi;
        schedule.fillBlock (midi, 990, 20);

        std::vector<std::pair<int, juce::String>> got;
        for (const auto meta : midi)
            got.push_back ({ meta.samplePosition, meta.getMessage().getDescription() });

        const std::vector<std::pair<int, juce::String>> expected {
            { 10, "Note off C3 Velocity 0 Channel 1" },
            { 10, "Controller Modulation Wheel (coarse): 5 Channel 1" },
            { 10, "Note on D3 Velocity 100 Channel 1" } };
        EXPECT_EQ (got, expected);
        EXPECT_EQ (schedule.getEndSample(), 2001);
    }

    TEST (EventOrder, ANoteShorterThanASampleStillEndsAfterItStarts)
    {
        const EventSchedule schedule ({ { 60, 0.5, 0.5001, 100, 1 } }, {}, 1000.0);
        ASSERT_EQ (schedule.getEvents().size(), 2u);
        EXPECT_EQ (schedule.getEvents()[0].sample, 500);
        EXPECT_TRUE (schedule.getEvents()[0].message.isNoteOn());
        EXPECT_EQ (schedule.getEvents()[1].sample, 501);
    }
}
