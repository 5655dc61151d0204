#pragma once

#include "NoteEvent.h"
#include <juce_audio_basics/juce_audio_basics.h>

/** The MIDI of a render placed on sample positions, handed out block by block.

    Times in seconds become samples by rounding to the nearest sample. Events on the same
    sample go out as note-offs first, then other channel messages, then note-ons, so that a
    note ending where the next begins is released before the next starts. A note shorter
    than one sample still lasts one sample.
*/
class EventSchedule
{
public:
    struct Event
    {
        juce::int64 sample;
        int order;            // 0 note-off, 1 other, 2 note-on
        juce::MidiMessage message;
    };

    EventSchedule (const std::vector<NoteEvent>& notes,
                   const std::vector<TimedMessage>& controls,
                   double sampleRate);

    /** Adds the events of samples [blockStart, blockStart + numSamples) to `midi`, at
        positions relative to blockStart. */
    void fillBlock (juce::MidiBuffer& midi, juce::int64 blockStart, int numSamples) const;

    /** One past the last event's sample (0 when there are none). */
    juce::int64 getEndSample() const noexcept;

    const std::vector<Event>& getEvents() const noexcept   { return events; }

    static juce::int64 secondsToSample (double seconds, double sampleRate);

private:
    std::vector<Event> events;
};
