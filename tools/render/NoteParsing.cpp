#include "NoteParsing.h"
#include "RenderError.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace NoteParsing
{

std::optional<double> parseNumber (const juce::String& text)
{
    const auto trimmed = text.trim().toStdString();

    if (trimmed.empty())
        return std::nullopt;

    // strtod also takes "nan", "inf" and hexadecimal: only plain decimal notation counts here.
    for (auto c : trimmed)
        if (! (std::isdigit ((unsigned char) c) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return std::nullopt;

    errno = 0;
    char* end = nullptr;
    const auto value = std::strtod (trimmed.c_str(), &end);

    if (end != trimmed.c_str() + trimmed.size() || errno == ERANGE || ! std::isfinite (value))
        return std::nullopt;

    return value;
}

std::optional<int> parseInteger (const juce::String& text)
{
    const auto trimmed = text.trim();

    if (trimmed.isEmpty() || trimmed.length() > 9)
        return std::nullopt;

    const auto digits = trimmed.startsWithChar ('-') || trimmed.startsWithChar ('+') ? trimmed.substring (1) : trimmed;

    if (digits.isEmpty() || ! digits.containsOnly ("0123456789"))
        return std::nullopt;

    return trimmed.getIntValue();
}

std::optional<int> parseNoteNumber (const juce::String& text)
{
    const auto t = text.trim();

    if (t.isEmpty())
        return std::nullopt;

    if (t.containsOnly ("0123456789"))
    {
        const auto n = parseInteger (t);
        if (n && *n >= 0 && *n <= 127)
            return n;
        return std::nullopt;
    }

    static constexpr int letterOffsets[] = { 9, 11, 0, 2, 4, 5, 7 };   // A B C D E F G
    const auto letter = juce::CharacterFunctions::toUpperCase (t[0]);

    if (letter < 'A' || letter > 'G')
        return std::nullopt;

    int semitone = letterOffsets[letter - 'A'];
    int pos = 1;

    for (int accidentals = 0; pos < t.length() && (t[pos] == '#' || t[pos] == 'b'); ++pos)
    {
        if (++accidentals > 2)
            return std::nullopt;
        semitone += t[pos] == '#' ? 1 : -1;
    }

    const auto octave = parseInteger (t.substring (pos));

    if (! octave || t.substring (pos).startsWithChar ('+'))
        return std::nullopt;

    const auto note = (*octave + 1) * 12 + semitone;

    if (note < 0 || note > 127)
        return std::nullopt;

    return note;
}

juce::String getNoteName (int noteNumber)
{
    static const char* const names[] = { "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" };
    return juce::String (names[((noteNumber % 12) + 12) % 12]) + juce::String (noteNumber / 12 - 1);
}

NoteEvent parseNoteSpec (const juce::String& spec)
{
    const auto fields = juce::StringArray::fromTokens (spec, ":", {});
    const auto fail = [&spec] (const juce::String& why) -> RenderError
    {
        return RenderError ("bad note '" + spec + "': " + why + " (expected NOTE:START:END[:VELOCITY], e.g. C4:0.5:2)",
                            RenderExit::usage);
    };

    if (fields.size() < 3 || fields.size() > 4)
        throw fail ("wrong number of fields");

    NoteEvent note;

    if (auto n = parseNoteNumber (fields[0]))
        note.noteNumber = *n;
    else
        throw fail ("'" + fields[0] + "' is not a note number 0-127 or a note name C-1..G9");

    const auto start = parseNumber (fields[1]);
    const auto end = parseNumber (fields[2]);

    if (! start || *start < 0.0)
        throw fail ("start must be a number of seconds, 0 or more");

    if (! end || *end <= *start)
        throw fail ("end must be a number of seconds after the start");

    note.startSeconds = *start;
    note.endSeconds = *end;

    if (fields.size() == 4)
    {
        const auto velocity = parseInteger (fields[3]);

        if (! velocity || *velocity < 1 || *velocity > 127)
            throw fail ("velocity must be a whole number 1-127");

        note.velocity = *velocity;
    }

    return note;
}

} // namespace NoteParsing
