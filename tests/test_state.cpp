// The saved state: its bytes, round trips, and what a malformed state or preset must not do.

#include <gtest/gtest.h>

#include "processor/PluginProcessor.h"
#include "processor/PresetCodec.h"
#include "../fuzz/FuzzHarness.h"

#include <cstring>

namespace
{
    juce::MemoryBlock stateOf (OvarnbAudioProcessor& processor)
    {
        juce::MemoryBlock block;
        processor.getStateInformation (block);
        return block;
    }

    void setState (OvarnbAudioProcessor& processor, const juce::MemoryBlock& block)
    {
        processor.setStateInformation (block.getData(), (int) block.getSize());
    }

    juce::uint32 wordAt (const juce::MemoryBlock& block, size_t offset)
    {
        return juce::ByteOrder::littleEndianInt (static_cast<const char*> (block.getData()) + offset);
    }

    void putWordAt (juce::MemoryBlock& block, size_t offset, juce::uint32 value)
    {
        const auto le = juce::ByteOrder::swapIfBigEndian (value);
        std::memcpy (static_cast<char*> (block.getData()) + offset, &le, sizeof (le));
    }

    /** A state that differs from the defaults in every value, many controllers and the vibrato switch. */
    void setUnusualState (OvarnbAudioProcessor& processor)
    {
        for (int i = 0; i < numParameters; ++i)
            processor.setInternalValue (i, parameterRows[(size_t) i].atZero + 0.123456789012345678 * (i + 1) / 29.0);

        processor.setInternalValue (ParameterIndex::glide, 0.00026000012345678901);
        processor.setInternalValue (ParameterIndex::poly, 12.0);

        for (int cc = 0; cc < numControllers; ++cc)
            processor.setControllerBinding (cc, cc % (numParameters + 1) - 1);

        processor.setModvib (false);
    }

    /** A state element with one attribute replaced (or removed when text is null). */
    juce::MemoryBlock stateWith (OvarnbAudioProcessor& source, const char* name, const char* text)
    {
        auto element = source.getPresetXML();

        if (text == nullptr)
            element->removeAttribute (name);
        else
            element->setAttribute (name, text);

        return PresetCodec::createStateData (*element);
    }
}

//==============================================================================
TEST (SavedState, IsMagicLengthOneLineOfTextAndAZeroByte)
{
    OvarnbAudioProcessor processor;
    const auto block = stateOf (processor);
    ASSERT_GT (block.getSize(), 9u);

    EXPECT_EQ (wordAt (block, 0), 0x21324356u);
    EXPECT_EQ (wordAt (block, 4), block.getSize() - 9);
    EXPECT_EQ (static_cast<const char*> (block.getData())[block.getSize() - 1], 0);

    const auto text = juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8,
                                              (int) block.getSize() - 9);
    EXPECT_TRUE (text.startsWith ("<Ovarn release=\"0.0020000000000000000416\" attack="));
    EXPECT_TRUE (text.endsWith (" CC0=\"-1\"/>"));
    EXPECT_FALSE (text.containsAnyOf ("\r\n"));
    EXPECT_EQ (text, processor.getPresetXML()->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader()));
}

TEST (SavedState, RoundTripRestoresValuesControllersVibratoAndVoices)
{
    OvarnbAudioProcessor source, restored;
    setUnusualState (source);
    const auto block = stateOf (source);

    setState (restored, block);

    for (int i = 0; i < numParameters; ++i)
    {
        const auto a = source.getInternalValue (i), b = restored.getInternalValue (i);
        EXPECT_EQ (std::memcmp (&a, &b, sizeof (double)), 0) << parameterRows[(size_t) i].key;
    }

    for (int cc = 0; cc < numControllers; ++cc)
        EXPECT_EQ (restored.getControllerBinding (cc), source.getControllerBinding (cc)) << cc;

    EXPECT_FALSE (restored.getModvib());
    EXPECT_EQ (restored.getSynth().getNumVoices(), 24);
    EXPECT_EQ (stateOf (restored), block);
}

TEST (SavedState, PresetWithoutAControllerUnbindsItAndWithoutAValueKeepsIt)
{
    OvarnbAudioProcessor processor;
    processor.setControllerBinding (5, ParameterIndex::wet);
    processor.setInternalValue (ParameterIndex::pitch, 0.3);

    auto element = processor.getPresetXML();
    element->removeAttribute ("CC5");
    element->removeAttribute ("pitch");
    element->setAttribute ("formant", "0.7");
    processor.setInternalValue (ParameterIndex::pitch, 0.4);

    processor.loadPresetXML (element.get());

    EXPECT_EQ (processor.getControllerBinding (5), -1);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::pitch), 0.4);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::formant), 0.7);
}

TEST (SavedState, ElementWithAnotherTagChangesNothing)
{
    OvarnbAudioProcessor source, processor;
    setUnusualState (source);
    const auto before = stateOf (processor);

    for (const auto* tag : { "Ovarn-Bank", "ovarn", "OVARN", "Ovarn2" })
    {
        auto element = source.getPresetXML();
        element->setTagName (tag);
        processor.loadPresetXML (element.get());
        EXPECT_EQ (stateOf (processor), before) << tag;
    }

    processor.loadPresetXML (nullptr);
    EXPECT_EQ (stateOf (processor), before);
}

TEST (SavedState, GarbageTruncatedAndEmptyStatesChangeNothing)
{
    OvarnbAudioProcessor source, processor;
    setUnusualState (source);
    const auto valid = stateOf (source);
    const auto before = stateOf (processor);

    auto expectUnchanged = [&] (const juce::MemoryBlock& block, const juce::String& what)
    {
        setState (processor, block);
        EXPECT_EQ (stateOf (processor), before) << what;
    };

    processor.setStateInformation (nullptr, 0);
    processor.setStateInformation (valid.getData(), -5);
    EXPECT_EQ (stateOf (processor), before);

    // Every truncation, including the one that drops only the zero byte.
    for (size_t length = 0; length < valid.getSize(); ++length)
        expectUnchanged (juce::MemoryBlock (valid.getData(), length), "first " + juce::String ((int) length) + " bytes");

    auto wrongMagic = valid;
    putWordAt (wrongMagic, 0, 0x21324357);
    expectUnchanged (wrongMagic, "wrong magic");

    auto tooLong = valid;
    putWordAt (tooLong, 4, (juce::uint32) valid.getSize());
    expectUnchanged (tooLong, "length past the end");

    auto huge = valid;
    putWordAt (huge, 4, 0xffffffffu);
    expectUnchanged (huge, "huge length");

    auto zeroLength = valid;
    putWordAt (zeroLength, 4, 0);
    expectUnchanged (zeroLength, "zero length");

    auto shorter = valid;
    putWordAt (shorter, 4, (juce::uint32) valid.getSize() - 20);
    expectUnchanged (shorter, "length inside the text");

    // A consistent header around text cut off between two attributes.
    const auto text = source.getPresetXML()->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
    juce::MemoryBlock cut;
    {
        const auto partial = text.substring (0, text.indexOf ("lfofade=") - 1);
        juce::MemoryOutputStream out (cut, false);
        out.writeInt ((int) PresetCodec::stateMagic);
        out.writeInt ((int) partial.getNumBytesAsUTF8());
        out << partial;
        out.writeByte (0);
    }
    expectUnchanged (cut, "element cut between attributes");

    juce::MemoryBlock notXml;
    {
        juce::MemoryOutputStream out (notXml, false);
        out.writeInt ((int) PresetCodec::stateMagic);
        out.writeInt (5);
        out.write ("hello", 5);
        out.writeByte (0);
    }
    expectUnchanged (notXml, "text that is not XML");

    juce::MemoryBlock instruction;
    {
        const juce::String looping ("<Ovarn pitch=\"0.5\"><?x?>b</Ovarn>");
        juce::MemoryOutputStream out (instruction, false);
        out.writeInt ((int) PresetCodec::stateMagic);
        out.writeInt ((int) looping.getNumBytesAsUTF8());
        out << looping;
        out.writeByte (0);
    }
    expectUnchanged (instruction, "processing instruction inside the element");

    auto badUtf8 = valid;
    static_cast<char*> (badUtf8.getData())[20] = (char) 0xff;
    expectUnchanged (badUtf8, "invalid UTF-8");

    juce::Random random (9);
    for (int i = 0; i < 50; ++i)
    {
        juce::MemoryBlock garbage ((size_t) random.nextInt ({ 1, 600 }));
        random.fillBitsRandomly (garbage.getData(), garbage.getSize());
        expectUnchanged (garbage, "random bytes " + juce::String (i));
    }
}

TEST (SavedState, ReadsStatesThatCarryAnXmlDeclaration)
{
    OvarnbAudioProcessor source, processor;
    setUnusualState (source);

    juce::MemoryBlock withDeclaration;
    juce::AudioProcessor::copyXmlToBinary (*source.getPresetXML(), withDeclaration);
    setState (processor, withDeclaration);

    EXPECT_EQ (stateOf (processor), stateOf (source));
}

TEST (SavedState, ValuesThatAreNotFiniteNumbersKeepTheCurrentValue)
{
    OvarnbAudioProcessor source, processor;

    for (const auto* key : { "lfofade", "glide", "pitch", "attack" })
    {
        for (const auto* text : { "nan", "NaN", "inf", "-inf", "1e999", "-1e999", "", "abc" })
        {
            const auto index = OvarnbAudioProcessor::findParameterIndex (key);
            processor.setInternalValue (index, 0.3125);
            setState (processor, stateWith (source, key, text));
            EXPECT_EQ (processor.getInternalValue (index), 0.3125) << key << "=\"" << text << "\"";
        }
    }
}

TEST (SavedState, PolyIsBoundedToTheVoiceRange)
{
    OvarnbAudioProcessor source, processor;
    const std::tuple<const char*, double, int> cases[] = {
        { "1000", 32.0, 64 }, { "32.5", 32.0, 64 }, { "1e300", 32.0, 64 },
        { "-5", 0.0, 8 }, { "12.7", 12.7, 24 }, { "3", 3.0, 8 },
    };

    for (const auto& [text, stored, voices] : cases)
    {
        setState (processor, stateWith (source, "poly", text));
        EXPECT_EQ (processor.getInternalValue (ParameterIndex::poly), stored) << text;
        EXPECT_EQ (processor.getSynth().getNumVoices(), voices) << text;
    }
}

TEST (SavedState, ControllerEntriesOutsideTheTableAreUnbound)
{
    OvarnbAudioProcessor source, processor;
    const std::pair<const char*, int> cases[] = {
        { "23", 23 }, { "0", 0 }, { "-1", -1 }, { "24", -1 }, { "-2", -1 }, { "99999999999", -1 },
        { "abc", -1 }, { "", -1 }, { "7.9", 7 }, { " 3", 3 },
    };

    for (const auto& [text, binding] : cases)
    {
        processor.setControllerBinding (64, 5);
        setState (processor, stateWith (source, "CC64", text));
        EXPECT_EQ (processor.getControllerBinding (64), binding) << "\"" << text << "\"";
    }
}

TEST (SavedState, VibratoSwitchFollowsTheXmlBooleanRule)
{
    OvarnbAudioProcessor source, processor;
    const std::pair<const char*, bool> cases[] = {
        { "1", true }, { "0", false }, { "true", true }, { "false", false }, { "yes", true },
        { "  T", true }, { "2", false }, { "", false }, { nullptr, true },
    };

    for (const auto& [text, expected] : cases)
    {
        processor.setModvib (! expected);
        setState (processor, stateWith (source, "modVibrato", text));
        EXPECT_EQ (processor.getModvib(), expected) << (text == nullptr ? "missing" : text);
    }
}

TEST (SavedState, LinkOffsetsAreRecomputedFromTheLoadedValues)
{
    OvarnbAudioProcessor processor;
    auto element = processor.getPresetXML();
    element->setAttribute ("link", "1");
    element->setAttribute ("pitch", "0");
    element->setAttribute ("formant", "0.2");
    element->setAttribute ("pitchlfo", "0");
    element->setAttribute ("formantlfo", "-0.1");
    element->setAttribute ("pitchenv", "0.5");
    element->setAttribute ("formantenv", "0.25");
    processor.loadPresetXML (element.get());

    processor.setParameter (ParameterIndex::pitch, 0.75f);       // pitch 0.5
    processor.setParameter (ParameterIndex::pitchlfo, 0.75f);    // pitchlfo 0.5
    processor.setParameter (ParameterIndex::pitchenv, 0.25f);    // pitchenv -0.5

    EXPECT_DOUBLE_EQ (processor.getInternalValue (ParameterIndex::formant), 0.7);
    EXPECT_DOUBLE_EQ (processor.getInternalValue (ParameterIndex::formantlfo), 0.4);
    EXPECT_DOUBLE_EQ (processor.getInternalValue (ParameterIndex::formantenv), -0.75);
}

//==============================================================================
TEST (FuzzRegressions, KeptInputsAreHarmless)
{
    FuzzHarness harness;
    const auto folder = juce::File (OVARN_TEST_FIXTURES).getChildFile ("fuzz");

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFiles))
    {
        juce::MemoryBlock input;
        ASSERT_TRUE (entry.getFile().loadFileAsData (input));
        EXPECT_TRUE (harness.run (input.getData(), input.getSize())) << entry.getFile().getFileName();
    }
}
