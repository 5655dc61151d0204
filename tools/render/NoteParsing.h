#pragma once

#include "NoteEvent.h"
#include <juce_core/juce_core.h>
#include <optional>

namespace NoteParsing
{
    /** Reads a whole string as a finite decimal number ("0.5", "-1", "2e-3"); nothing else. */
    std::optional<double> parseNumber (const juce::String& text);

    /** Reads a whole string as a decimal integer. */
    std::optional<int> parseInteger (const juce::String& text);

    /** A MIDI note number 0..127 given as a number ("60") or a name with an optional sharp
        or flat and an octave, middle C being C4 ("C4", "A#3", "Bb3", "c-1", "G9"). */
    std::optional<int> parseNoteNumber (const juce::String& text);

    /** The name of a note number in the same convention, with sharps ("C#4"). */
    juce::String getNoteName (int noteNumber);

    /** Reads "NOTE:START:END" or "NOTE:START:END:VELOCITY", times in seconds.
        Throws RenderError (usage) with a message that names the problem. */
    NoteEvent parseNoteSpec (const juce::String& spec);
}
