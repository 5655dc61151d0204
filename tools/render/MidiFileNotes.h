#pragma once

#include "NoteEvent.h"
#include "TempoMap.h"
#include <juce_audio_basics/juce_audio_basics.h>

/** What a standard MIDI file holds for a render: its notes and other channel messages
    in seconds, and its tempo map for the play head. */
struct MidiPart
{
    std::vector<NoteEvent> notes;
    std::vector<TimedMessage> controls;
    TempoMap tempoMap;
    bool hasTempoEvents = false;
};

namespace MidiFileNotes
{
    /** Reads a standard MIDI file (format 0 or 1, any number of tracks, tempo changes,
        ticks per quarter note or SMPTE timing). Throws RenderError when the data is not
        a MIDI file or holds no notes; `sourceName` names it in the message. */
    MidiPart read (const void* data, size_t size, const juce::String& sourceName);

    /** Reads a file from disk, with the same errors plus missing or unreadable files. */
    MidiPart read (const juce::File& file);
}
