#include "EventSchedule.h"

#include <algorithm>
#include <cmath>

juce::int64 EventSchedule::secondsToSample (double seconds, double sampleRate)
{
    return (juce::int64) std::llround (std::max (0.0, seconds) * sampleRate);
}

EventSchedule::EventSchedule (const std::vector<NoteEvent>& notes,
                              const std::vector<TimedMessage>& controls,
                              double sampleRate)
{
    for (const auto& n : notes)
    {
        const auto on = secondsToSample (n.startSeconds, sampleRate);
        const auto off = std::max (on + 1, secondsToSample (n.endSeconds, sampleRate));
        events.push_back ({ on, 2, juce::MidiMessage::noteOn (n.channel, n.noteNumber, (juce::uint8) n.velocity) });
        events.push_back ({ off, 0, juce::MidiMessage::noteOff (n.channel, n.noteNumber) });
    }

    for (const auto& c : controls)
        events.push_back ({ secondsToSample (c.seconds, sampleRate), 1, c.message });

    std::stable_sort (events.begin(), events.end(), [] (const Event& a, const Event& b)
    {
        return a.sample != b.sample ? a.sample < b.sample : a.order < b.order;
    });
}

void EventSchedule::fillBlock (juce::MidiBuffer& midi, juce::int64 blockStart, int numSamples) const
{
    auto it = std::lower_bound (events.begin(), events.end(), blockStart,
                                [] (const Event& e, juce::int64 s) { return e.sample < s; });

    for (; it != events.end() && it->sample < blockStart + numSamples; ++it)
        midi.addEvent (it->message, (int) (it->sample - blockStart));
}

juce::int64 EventSchedule::getEndSample() const noexcept
{
    return events.empty() ? 0 : events.back().sample + 1;
}
