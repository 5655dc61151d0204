#pragma once

#include <juce_core/juce_core.h>
#include <array>
#include <optional>
#include "ParameterTable.h"

/** The text forms of presets, banks and saved state.

    Everything here is free of processor state so that the factory-bank
    generator, the processor and the fuzz target share one implementation.
    Numbers are written and read with std::to_chars / std::from_chars, which
    ignore the C locale and keep every digit.
*/
namespace PresetCodec
{
    /** Tag of a preset element and of a bank's root element. */
    inline constexpr const char* presetTag = "Ovarn";
    inline constexpr const char* bankTag   = "Ovarn-Bank";

    /** First four bytes of a saved state, read little-endian. */
    inline constexpr juce::uint32 stateMagic = 0x21324356;

    /** Everything a preset element carries, with parameters in host index order. */
    struct PresetValues
    {
        std::array<double, numParameters> values {};
        bool modVibrato = true;
        std::array<int, numControllers> controllers {};
    };

    /** The defaults of the parameter table, vibrato on, every controller unbound. */
    PresetValues defaultPresetValues();

    /** Shortest general form with up to 20 significant digits ("0.5", "8",
        "0.0020000000000000000416", "1.0000000000000000818e-05"). */
    juce::String formatValue (double value);

    /** A number from attribute text: leading and trailing blanks and a leading '+'
        are allowed, trailing garbage is ignored. Empty when the text holds no number
        or the number is not finite (NaN, infinity, out of range). */
    std::optional<double> parseFiniteValue (const juce::String& text);

    /** A decimal integer from attribute text (trailing garbage ignored); empty when
        there is none or it does not fit an int. */
    std::optional<int> parseInteger (const juce::String& text);

    /** "CC" followed by the controller number. */
    juce::String controllerAttributeName (int controllerNumber);

    /** A new preset element: the parameters in reverse index order, "modVibrato",
        then "CC127" down to "CC0". */
    std::unique_ptr<juce::XmlElement> createPresetElement (const PresetValues& preset);

    /** Reads a preset element over the values already in `preset`: a parameter
        whose attribute is missing or not a finite number keeps its value; "poly"
        is bounded to 0..maxPoly; every controller is rewritten, unbound (-1) when
        its attribute is missing or outside -1..numParameters-1; "modVibrato" follows
        the XML boolean rule and is true when missing. The tag is not checked here. */
    void readPresetElement (const juce::XmlElement& element, PresetValues& preset);

    /** Parses the text of a bank file, or nullptr. Only UTF-8 (with or without a
        byte-order mark) is read. Text the framework's XML parser cannot walk safely
        is refused: a zero byte or an invalid UTF-8 sequence (its character stepping
        can run past the end) and a processing instruction other than the leading
        declaration (it can loop forever on one). */
    std::unique_ptr<juce::XmlElement> parseBankText (const void* data, size_t numBytes);

    /** parseBankText on the contents of a file; nullptr when it is not a readable file. */
    std::unique_ptr<juce::XmlElement> readBankFile (const juce::File& file);

    /** The layout of a bank file: UTF-8 declaration, blank line, 60-column
        wrapping, CR LF line ends. */
    juce::XmlElement::TextFormat bankFileFormat();

    /** The bytes of a bank file for a bank element. */
    juce::MemoryBlock createBankFileData (const juce::XmlElement& bank);

    /** Writes the bytes to a temporary file beside `file` and only then moves it into
        place, so a failed write (disk full, read-only folder) leaves any existing file
        as it was. Creates missing parent folders. Returns true on success. */
    bool replaceFileContents (const juce::File& file, const void* data, size_t numBytes);

    /** A saved state: magic, 32-bit little-endian text length, the element as
        one line of UTF-8 without an XML declaration, a zero byte. */
    juce::MemoryBlock createStateData (const juce::XmlElement& element);

    /** The element of a saved state, or nullptr when the bytes are not a complete,
        well-formed saved state (wrong magic, a length that runs past the data or is
        not followed by the zero byte, invalid UTF-8, text that does not parse). Also
        reads states whose text starts with an XML declaration. */
    std::unique_ptr<juce::XmlElement> readStateData (const void* data, size_t numBytes);
}
