#include "MidiFileNotes.h"
#include "RenderError.h"

#include <algorithm>
#include <map>

namespace
{
    /** Ticks to seconds through the file's tempo changes (ticks per quarter note timing). */
    class TickClock
    {
    public:
        TickClock (int ticksPerQuarter, const std::map<double, double>& secondsPerQuarterAtTick)
            : tpq (ticksPerQuarter)
        {
            points.push_back ({ 0.0, 0.0, 0.5 });   // 120 bpm until the first tempo event

            for (const auto& [tick, secondsPerQuarter] : secondsPerQuarterAtTick)
            {
                auto& last = points.back();

                if (tick == last.tick)
                {
                    last.secondsPerQuarter = secondsPerQuarter;
                    continue;
                }

                points.push_back ({ tick, toSeconds (tick), secondsPerQuarter });
            }
        }

        double toSeconds (double tick) const
        {
            auto it = std::upper_bound (points.begin(), points.end(), tick,
                                        [] (double t, const Point& p) { return t < p.tick; });
            const auto& p = it == points.begin() ? points.front() : *(it - 1);
            return p.seconds + (tick - p.tick) * p.secondsPerQuarter / tpq;
        }

    private:
        struct Point
        {
            double tick, seconds, secondsPerQuarter;
        };

        double tpq;
        std::vector<Point> points;
    };
}

namespace MidiFileNotes
{

MidiPart read (const void* data, size_t size, const juce::String& sourceName)
{
    juce::MidiFile file;
    juce::MemoryInputStream stream (data, size, false);

    if (size < 14 || ! file.readFrom (stream, true))
        throw RenderError ("'" + sourceName + "' is not a standard MIDI file");

    const auto timeFormat = (int) file.getTimeFormat();

    if (timeFormat == 0)
        throw RenderError ("'" + sourceName + "' has an invalid time division of 0");

    // Tempo changes may sit in any track (format 1 files keep them in the first).
    std::map<double, double> secondsPerQuarterAtTick;

    for (int t = 0; t < file.getNumTracks(); ++t)
        for (auto* e : *file.getTrack (t))
            if (e->message.isTempoMetaEvent())
                secondsPerQuarterAtTick[e->message.getTimeStamp()] = e->message.getTempoSecondsPerQuarterNote();

    std::function<double (double)> toSeconds;
    TickClock clock (timeFormat > 0 ? timeFormat : 96, secondsPerQuarterAtTick);

    if (timeFormat > 0)
    {
        toSeconds = [&clock] (double tick) { return clock.toSeconds (tick); };
    }
    else
    {
        // SMPTE: the high byte is minus the frames per second (29 meaning 29.97), the low
        // byte the ticks per frame. Tempo changes do not move events in this format.
        const auto framesPerSecond = (-(timeFormat >> 8)) == 29 ? 29.97 : (double) (-(timeFormat >> 8));
        const auto ticksPerFrame = (double) (timeFormat & 0xff);

        if (framesPerSecond <= 0.0 || ticksPerFrame <= 0.0)
            throw RenderError ("'" + sourceName + "' has an invalid SMPTE time division");

        toSeconds = [framesPerSecond, ticksPerFrame] (double tick) { return tick / (framesPerSecond * ticksPerFrame); };
    }

    MidiPart part;

    for (const auto& [tick, secondsPerQuarter] : secondsPerQuarterAtTick)
    {
        part.tempoMap.addChange (toSeconds (tick), 60.0 / secondsPerQuarter);
        part.hasTempoEvents = true;
    }

    for (int t = 0; t < file.getNumTracks(); ++t)
    {
        for (auto* e : *file.getTrack (t))
        {
            const auto& m = e->message;

            if (m.isNoteOn())
            {
                NoteEvent note;
                note.noteNumber = m.getNoteNumber();
                note.velocity = juce::jlimit (1, 127, (int) m.getVelocity());
                note.channel = m.getChannel();
                note.startSeconds = toSeconds (m.getTimeStamp());
                // A note that is never released sounds to the end of the file.
                note.endSeconds = toSeconds (e->noteOffObject != nullptr ? e->noteOffObject->message.getTimeStamp()
                                                                         : file.getLastTimestamp());
                part.notes.push_back (note);
            }
            else if (m.isController() || m.isPitchWheel() || m.isAftertouch() || m.isChannelPressure())
            {
                part.controls.push_back ({ toSeconds (m.getTimeStamp()), m });
            }
        }
    }

    if (part.notes.empty())
        throw RenderError ("'" + sourceName + "' contains no notes");

    const auto byStart = [] (const NoteEvent& a, const NoteEvent& b) { return a.startSeconds < b.startSeconds; };
    std::stable_sort (part.notes.begin(), part.notes.end(), byStart);
    std::stable_sort (part.controls.begin(), part.controls.end(),
                      [] (const TimedMessage& a, const TimedMessage& b) { return a.seconds < b.seconds; });
    return part;
}

MidiPart read (const juce::File& file)
{
    if (! file.existsAsFile())
        throw RenderError ("MIDI file '" + file.getFullPathName() + "' does not exist");

    juce::MemoryBlock data;

    if (! file.loadFileAsData (data))
        throw RenderError ("cannot read MIDI file '" + file.getFullPathName() + "'");

    return read (data.getData(), data.getSize(), file.getFullPathName());
}

} // namespace MidiFileNotes
