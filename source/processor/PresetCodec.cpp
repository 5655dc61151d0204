#include "PresetCodec.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace PresetCodec
{

namespace
{
    /** Skips the blanks and one '+' that the framework's number readers accept
        but std::from_chars does not. Returns nullptr when a '+' is followed by a sign. */
    const char* skipNumberPrefix (const char* p, const char* end)
    {
        while (p < end && juce::CharacterFunctions::isWhitespace (*p))
            ++p;

        if (p < end && *p == '+')
        {
            ++p;

            if (p < end && (*p == '-' || *p == '+'))
                return nullptr;
        }

        return p;
    }

    /** Parses XML text after the checks that keep the framework's parser safe:
        no zero byte, valid UTF-8 (its character stepping trusts lead bytes and
        can step over the terminating zero), and no processing instruction ("<?")
        other than a declaration at the very start. The parser skips a processing
        instruction as if it were blank space but, in the text between two
        elements, rolls back over it again: followed by anything other than '<'
        it loops forever. Neither banks nor states ever hold one. */
    std::unique_ptr<juce::XmlElement> parseCheckedText (const char* text, size_t numBytes)
    {
        if (numBytes == 0 || numBytes > (size_t) INT_MAX
            || std::memchr (text, 0, numBytes) != nullptr
            || ! juce::CharPointer_UTF8::isValidString (text, (int) numBytes))
            return {};

        const auto string = juce::String::fromUTF8 (text, (int) numBytes);
        const auto body = string.trimStart();
        const auto firstInstruction = body.indexOf ("<?");

        if (firstInstruction > 0 || (firstInstruction == 0 && body.indexOf (2, "<?") >= 0))
            return {};

        return juce::parseXML (string);
    }
}

PresetValues defaultPresetValues()
{
    PresetValues preset;

    for (size_t i = 0; i < parameterRows.size(); ++i)
        preset.values[i] = parameterRows[i].defaultValue;

    preset.modVibrato = true;
    preset.controllers.fill (-1);
    return preset;
}

juce::String formatValue (double value)
{
    char buffer[64];
    const auto result = std::to_chars (buffer, buffer + sizeof (buffer), value,
                                       std::chars_format::general, 20);
    jassert (result.ec == std::errc());
    return juce::String::fromUTF8 (buffer, (int) (result.ptr - buffer));
}

std::optional<double> parseFiniteValue (const juce::String& text)
{
    const auto* begin = text.toRawUTF8();
    const auto* end = begin + text.getNumBytesAsUTF8();
    const auto* start = skipNumberPrefix (begin, end);

    if (start == nullptr)
        return {};

    double value = 0.0;
    const auto result = std::from_chars (start, end, value, std::chars_format::general);

    if (result.ec != std::errc() || ! std::isfinite (value))
        return {};

    return value;
}

std::optional<int> parseInteger (const juce::String& text)
{
    const auto* begin = text.toRawUTF8();
    const auto* end = begin + text.getNumBytesAsUTF8();
    const auto* start = skipNumberPrefix (begin, end);

    if (start == nullptr)
        return {};

    int value = 0;
    const auto result = std::from_chars (start, end, value, 10);

    if (result.ec != std::errc())
        return {};

    return value;
}

juce::String controllerAttributeName (int controllerNumber)
{
    return "CC" + juce::String (controllerNumber);
}

std::unique_ptr<juce::XmlElement> createPresetElement (const PresetValues& preset)
{
    auto element = std::make_unique<juce::XmlElement> (presetTag);

    for (int i = numParameters; --i >= 0;)
        element->setAttribute (juce::Identifier (parameterRows[(size_t) i].key),
                               formatValue (preset.values[(size_t) i]));

    element->setAttribute ("modVibrato", preset.modVibrato ? 1 : 0);

    for (int cc = numControllers; --cc >= 0;)
        element->setAttribute (controllerAttributeName (cc), preset.controllers[(size_t) cc]);

    return element;
}

void readPresetElement (const juce::XmlElement& element, PresetValues& preset)
{
    for (int i = numParameters; --i >= 0;)
    {
        const auto* key = parameterRows[(size_t) i].key;

        if (element.hasAttribute (key))
            if (const auto value = parseFiniteValue (element.getStringAttribute (key)))
                preset.values[(size_t) i] = *value;
    }

    auto& poly = preset.values[(size_t) ParameterIndex::poly];
    poly = juce::jlimit (0.0, (double) maxPoly, poly);

    for (int cc = numControllers; --cc >= 0;)
    {
        const auto name = controllerAttributeName (cc);
        int binding = -1;

        if (element.hasAttribute (name))
            if (const auto value = parseInteger (element.getStringAttribute (name)))
                if (*value >= -1 && *value < numParameters)
                    binding = *value;

        preset.controllers[(size_t) cc] = binding;
    }

    preset.modVibrato = element.getBoolAttribute ("modVibrato", true);
}

std::unique_ptr<juce::XmlElement> parseBankText (const void* data, size_t numBytes)
{
    if (data == nullptr)
        return {};

    const auto* text = static_cast<const char*> (data);

    if (numBytes >= 3 && juce::CharPointer_UTF8::isByteOrderMark (text))
    {
        text += 3;
        numBytes -= 3;
    }

    return parseCheckedText (text, numBytes);
}

std::unique_ptr<juce::XmlElement> readBankFile (const juce::File& file)
{
    juce::MemoryBlock data;

    if (! file.existsAsFile() || ! file.loadFileAsData (data))
        return {};

    return parseBankText (data.getData(), data.getSize());
}

juce::XmlElement::TextFormat bankFileFormat()
{
    juce::XmlElement::TextFormat format;
    format.addDefaultHeader = true;
    format.customEncoding = "UTF-8";
    format.lineWrapLength = 60;
    format.newLineChars = "\r\n";
    return format;
}

juce::MemoryBlock createBankFileData (const juce::XmlElement& bank)
{
    juce::MemoryOutputStream out;
    bank.writeTo (out, bankFileFormat());
    return out.getMemoryBlock();
}

bool replaceFileContents (const juce::File& file, const void* data, size_t numBytes)
{
    if (file == juce::File() || file.isDirectory())
        return false;

    file.getParentDirectory().createDirectory();

    juce::TemporaryFile temporary (file);

    {
        juce::FileOutputStream out (temporary.getFile());

        if (! out.openedOk())
            return false;

        // A short write (disk full, file size limit) does not always set the
        // stream's status, so the size on disk is checked as well.
        if (numBytes > 0 && ! out.write (data, numBytes))
            return false;

        out.flush();

        if (out.getStatus().failed())
            return false;
    }

    if (temporary.getFile().getSize() != (juce::int64) numBytes)
        return false;

    return temporary.overwriteTargetFileWithTemporary();
}

juce::MemoryBlock createStateData (const juce::XmlElement& element)
{
    const auto text = element.toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
    const auto numTextBytes = text.getNumBytesAsUTF8();

    juce::MemoryBlock block;

    {
        juce::MemoryOutputStream out (block, false);
        out.writeInt ((int) stateMagic);
        out.writeInt ((int) numTextBytes);
        out.write (text.toRawUTF8(), numTextBytes);
        out.writeByte (0);
    }

    return block;
}

std::unique_ptr<juce::XmlElement> readStateData (const void* data, size_t numBytes)
{
    constexpr size_t headerBytes = 8;

    if (data == nullptr || numBytes <= headerBytes || numBytes > (size_t) INT_MAX)
        return {};

    const auto* bytes = static_cast<const juce::uint8*> (data);

    if (juce::ByteOrder::littleEndianInt (bytes) != stateMagic)
        return {};

    const auto length = (size_t) juce::ByteOrder::littleEndianInt (bytes + 4);

    if (length == 0 || length > numBytes - headerBytes - 1 || bytes[headerBytes + length] != 0)
        return {};

    const auto* text = reinterpret_cast<const char*> (bytes + headerBytes);

    // The parser accepts an element cut off between two attributes; a complete
    // state always ends with the element's closing bracket.
    auto last = length;

    while (last > 0 && juce::CharacterFunctions::isWhitespace (text[last - 1]))
        --last;

    if (last == 0 || text[last - 1] != '>')
        return {};

    return parseCheckedText (text, length);
}

} // namespace PresetCodec
