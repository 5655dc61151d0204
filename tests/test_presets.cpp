// Preset element, number format, factory bank and the shared bank file.

#include <gtest/gtest.h>

#include "processor/PluginProcessor.h"
#include "processor/PresetBank.h"
#include "processor/PresetCodec.h"

#include <csignal>
#include <cstring>
#include <limits>
#include <sys/resource.h>

namespace
{
    /** Makes every write past 4 kB fail, as a full disk would, until it goes out of scope.
        (The tests run as root, so a read-only folder would not stop a write.) */
    struct ScopedFileSizeLimit
    {
        ScopedFileSizeLimit()
        {
            oldHandler = std::signal (SIGXFSZ, SIG_IGN);
            getrlimit (RLIMIT_FSIZE, &oldLimit);
            rlimit smallLimit = oldLimit;
            smallLimit.rlim_cur = 4096;
            active = setrlimit (RLIMIT_FSIZE, &smallLimit) == 0;
        }

        ~ScopedFileSizeLimit()
        {
            setrlimit (RLIMIT_FSIZE, &oldLimit);
            std::signal (SIGXFSZ, oldHandler);
        }

        rlimit oldLimit {};
        void (*oldHandler) (int) = nullptr;
        bool active = false;
    };

    const char* const factoryNames[] = {
        "init", "vibrato", "for drums", "formant drop", "meltdown", "outer space", "bounceroo",
        "Synthron", "padington", "aliens", "vibrations", "hold it", "computer world", "paddington", "helium"
    };

    juce::StringArray attributeNames (const juce::XmlElement& element)
    {
        juce::StringArray names;

        for (int i = 0; i < element.getNumAttributes(); ++i)
            names.add (element.getAttributeName (i));

        return names;
    }

    juce::StringArray childNames (const juce::XmlElement& bank)
    {
        juce::StringArray names;

        for (auto* child : bank.getChildIterator())
            names.add (child->getStringAttribute ("name"));

        return names;
    }

    /** The attribute names a preset element must have, in order. */
    juce::StringArray expectedPresetAttributes()
    {
        juce::StringArray names;

        for (int i = numParameters; --i >= 0;)
            names.add (parameterRows[(size_t) i].key);

        names.add ("modVibrato");

        for (int cc = numControllers; --cc >= 0;)
            names.add ("CC" + juce::String (cc));

        return names;
    }

    const juce::XmlElement* lastChild (const juce::XmlElement& bank)
    {
        return bank.getChildElement (bank.getNumChildElements() - 1);
    }

    juce::MemoryBlock fileBytes (const juce::File& file)
    {
        juce::MemoryBlock block;
        file.loadFileAsData (block);
        return block;
    }

    bool sameBits (double a, double b)
    {
        return std::memcmp (&a, &b, sizeof (double)) == 0;
    }

    juce::MemoryBlock stateOf (OvarnbAudioProcessor& processor)
    {
        juce::MemoryBlock block;
        processor.getStateInformation (block);
        return block;
    }

    std::unique_ptr<juce::XmlElement> parseFactoryBank()
    {
        const auto data = PresetBank::getFactoryBankData();
        return juce::parseXML (data.toString());
    }
}

//==============================================================================
TEST (PresetNumbers, WriteTheShortestFormWithUpToTwentyDigits)
{
    const std::pair<double, const char*> cases[] = {
        { 0.5, "0.5" },
        { 8.0, "8" },
        { 0.0, "0" },
        { -1.0, "-1" },
        { 0.002, "0.0020000000000000000416" },
        { 1.0 / 12.0, "0.083333333333333328707" },
        { 0.00001, "1.0000000000000000818e-05" },
    };

    for (const auto& [value, text] : cases)
        EXPECT_EQ (PresetCodec::formatValue (value), juce::String (text)) << value;
}

TEST (PresetNumbers, ReadBackToTheSameDouble)
{
    // Small values are where the framework's own reader loses digits.
    std::vector<double> values { 0.00026000012345678901, 1.0e-05, 1.0 / 3.0, -0.7071067811865476,
                                 std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                                 std::numeric_limits<double>::denorm_min() * 12345.0, 123456789.125 };

    juce::Random random (4);

    for (int i = 0; i < 2000; ++i)
        values.push_back ((random.nextDouble() - 0.5) * std::pow (10.0, random.nextInt ({ -12, 12 })));

    for (const auto value : values)
    {
        const auto text = PresetCodec::formatValue (value);
        const auto parsed = PresetCodec::parseFiniteValue (text);
        ASSERT_TRUE (parsed.has_value()) << text;
        EXPECT_TRUE (sameBits (*parsed, value)) << text;
    }
}

TEST (PresetNumbers, ReadOnlyFiniteNumbers)
{
    const std::pair<const char*, double> accepted[] = {
        { "0.5", 0.5 }, { "  -1  ", -1.0 }, { "+2", 2.0 }, { "1e-05", 1.0e-05 }, { "0.25abc", 0.25 }, { "7", 7.0 },
    };

    for (const auto& [text, value] : accepted)
    {
        const auto parsed = PresetCodec::parseFiniteValue (text);
        ASSERT_TRUE (parsed.has_value()) << text;
        EXPECT_EQ (*parsed, value) << text;
    }

    for (const auto* text : { "", " ", "abc", "nan", "NaN", "-nan", "inf", "-inf", "infinity",
                              "1e400", "-1e400", "+-1", "++1", "--1", "x1" })
        EXPECT_FALSE (PresetCodec::parseFiniteValue (text).has_value()) << text;
}

TEST (PresetNumbers, ReadIntegersThatFitAnInt)
{
    const std::pair<const char*, int> accepted[] = { { "-1", -1 }, { "23", 23 }, { " 7 ", 7 }, { "5.9", 5 }, { "+3", 3 } };

    for (const auto& [text, value] : accepted)
    {
        const auto parsed = PresetCodec::parseInteger (text);
        ASSERT_TRUE (parsed.has_value()) << text;
        EXPECT_EQ (*parsed, value) << text;
    }

    for (const auto* text : { "", "x", "99999999999", "-99999999999", "+-2" })
        EXPECT_FALSE (PresetCodec::parseInteger (text).has_value()) << text;
}

//==============================================================================
TEST (PresetElement, ListsValuesVibratoAndControllersInOrder)
{
    OvarnbAudioProcessor processor;
    const auto element = processor.getPresetXML();

    EXPECT_EQ (element->getTagName(), "Ovarn");
    EXPECT_EQ (attributeNames (*element), expectedPresetAttributes());
    EXPECT_EQ (element->getNumChildElements(), 0);
    EXPECT_FALSE (element->hasAttribute ("name"));
}

TEST (PresetElement, HoldsInternalValuesAndTheControllerMap)
{
    OvarnbAudioProcessor processor;
    processor.setInternalValue (ParameterIndex::glide, 0.002);
    processor.setInternalValue (ParameterIndex::formantlfo, -0.25);
    processor.setControllerBinding (7, ParameterIndex::wet);
    processor.setControllerBinding (0, ParameterIndex::release);
    processor.setModvib (false);

    const auto element = processor.getPresetXML();
    const std::pair<const char*, const char*> expected[] = {
        { "glide", "0.0020000000000000000416" }, { "formantlfo", "-0.25" },
        { "pitchwup", "0.083333333333333328707" }, { "envdelay", "0.4000000000000000222" },
        { "poly", "8" }, { "modVibrato", "0" }, { "CC7", "11" }, { "CC0", "23" }, { "CC1", "-1" },
    };

    for (const auto& [name, text] : expected)
        EXPECT_EQ (element->getStringAttribute (name), juce::String (text)) << name;
}

//==============================================================================
TEST (FactoryBank, HoldsTheFifteenPresetsInOrder)
{
    const auto bank = parseFactoryBank();
    ASSERT_NE (bank, nullptr);
    EXPECT_EQ (bank->getTagName(), "Ovarn-Bank");
    EXPECT_EQ (childNames (*bank), juce::StringArray (factoryNames, (int) std::size (factoryNames)));

    auto withName = expectedPresetAttributes();
    withName.add ("name");

    for (auto* preset : bank->getChildIterator())
    {
        EXPECT_EQ (preset->getTagName(), "Ovarn");
        EXPECT_EQ (attributeNames (*preset), withName);
        EXPECT_EQ (preset->getStringAttribute ("modVibrato"), "1");

        for (int cc = 0; cc < numControllers; ++cc)
            EXPECT_EQ (preset->getStringAttribute ("CC" + juce::String (cc)), "-1");
    }
}

TEST (FactoryBank, InitIsExactlyTheDefaultsAndOthersDifferWhereListed)
{
    const auto bank = parseFactoryBank();
    ASSERT_NE (bank, nullptr);

    // How many values of each preset differ from the defaults, in bank order.
    const int numChanged[] = { 0, 3, 3, 7, 8, 12, 9, 12, 12, 8, 13, 15, 14, 13, 11 };
    ASSERT_EQ (bank->getNumChildElements(), (int) std::size (numChanged));

    for (int p = 0; p < bank->getNumChildElements(); ++p)
    {
        const auto* preset = bank->getChildElement (p);
        int changed = 0;

        for (size_t i = 0; i < parameterRows.size(); ++i)
        {
            const auto value = PresetCodec::parseFiniteValue (preset->getStringAttribute (parameterRows[i].key));
            ASSERT_TRUE (value.has_value());
            changed += sameBits (*value, parameterRows[i].defaultValue) ? 0 : 1;
        }

        EXPECT_EQ (changed, numChanged[p]) << factoryNames[p];
    }

    const std::tuple<int, const char*, double> spotValues[] = {
        { 1, "pitchlfo", 0.01125 }, { 3, "envdecay", 0.279353 }, { 7, "release", 0.15666 },
        { 9, "link", 1.0 }, { 10, "poly", 0.0 }, { 10, "pitchlfo", 0.00625002 },
        { 12, "lfoshape", 0.8 }, { 13, "smooth", 1.0 }, { 14, "lforate", 0.684562 }, { 5, "pitchwdn", 1.0 },
    };

    for (const auto& [index, key, value] : spotValues)
        EXPECT_EQ (PresetCodec::parseFiniteValue (bank->getChildElement (index)->getStringAttribute (key)), value)
            << factoryNames[index] << " " << key;
}

TEST (FactoryBank, IsLaidOutAsTheBankWriterWritesIt)
{
    const auto data = PresetBank::getFactoryBankData();
    const auto bank = parseFactoryBank();
    ASSERT_NE (bank, nullptr);

    EXPECT_TRUE (data.toString().startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<Ovarn-Bank>\r\n"));
    EXPECT_EQ (PresetCodec::createBankFileData (*bank), data);

    const auto* bytes = static_cast<const char*> (data.getData());

    for (size_t i = 0; i < data.getSize(); ++i)
    {
        if (bytes[i] == '\n')
        {
            ASSERT_TRUE (i > 0 && bytes[i - 1] == '\r') << "bare line feed at " << i;
        }
    }
}

//==============================================================================
namespace
{
    /** Every bank test starts with no default bank file and records alerts instead of showing them. */
    class BankTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            defaultFile = PresetBank::getDefaultBankFile();
            defaultFile.deleteFile();
            PresetBank::showAlert = [this] (const juce::String& title, const juce::String& message)
            {
                alerts.add (title + " / " + message);
            };
            scratch = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getNonexistentChildFile ("ovarn-bank-test", "");
            scratch.createDirectory();
        }

        void TearDown() override
        {
            PresetBank::showAlert = PresetBank::showAsyncAlert;
            defaultFile.deleteFile();
            scratch.deleteRecursively();
        }

        juce::File writeScratchFile (const juce::String& name, const juce::String& text) const
        {
            const auto file = scratch.getChildFile (name);
            file.replaceWithText (text);
            return file;
        }

        juce::File writeScratchBytes (const juce::String& name, const std::string& bytes) const
        {
            const auto file = scratch.getChildFile (name);
            file.replaceWithData (bytes.data(), bytes.size());
            return file;
        }

        juce::File defaultFile, scratch;
        juce::StringArray alerts;
    };
}

TEST_F (BankTest, DefaultBankFileLivesInTheTestsOwnHome)
{
    const auto home = juce::File (juce::SystemStats::getEnvironmentVariable ("HOME", {}));
    EXPECT_TRUE (defaultFile.isAChildOf (home));
    EXPECT_EQ (defaultFile.getFileName(), "Ovarn-Presets.ovb");
    EXPECT_EQ (defaultFile.getParentDirectory().getFileName(), "ovarn");
    EXPECT_EQ (defaultFile.getParentDirectory().getParentDirectory().getFileName(), "Quillfen");
}

TEST_F (BankTest, FirstStartWritesTheFactoryBankAndListsItsNames)
{
    ASSERT_FALSE (defaultFile.exists());

    OvarnbAudioProcessor processor;

    EXPECT_EQ (fileBytes (defaultFile), PresetBank::getFactoryBankData());
    EXPECT_EQ (processor.getBankFile(), defaultFile);
    EXPECT_EQ (childNames (*processor.getPresetList()),
               juce::StringArray (factoryNames, (int) std::size (factoryNames)));
}

TEST_F (BankTest, MalformedDefaultBankGivesAnEmptyBankAndLeavesTheFile)
{
    defaultFile.getParentDirectory().createDirectory();
    defaultFile.replaceWithText ("<Ovarn-Bank><Ovarn pitch=\"1\"");

    OvarnbAudioProcessor processor;

    EXPECT_EQ (processor.getPresetList()->getTagName(), "Ovarn-Bank");
    EXPECT_EQ (processor.getPresetList()->getNumChildElements(), 0);
    EXPECT_EQ (defaultFile.loadFileAsString(), "<Ovarn-Bank><Ovarn pitch=\"1\"");
    EXPECT_TRUE (alerts.isEmpty());
}

TEST_F (BankTest, AddPresetWithAnExistingNameAppendsAndRewritesTheFile)
{
    OvarnbAudioProcessor processor;
    processor.setInternalValue (ParameterIndex::pitch, 0.375);
    processor.addPreset ("init");

    auto* bank = processor.getPresetList();
    ASSERT_EQ (bank->getNumChildElements(), 16);
    EXPECT_EQ (bank->getChildElement (0)->getStringAttribute ("name"), "init");
    EXPECT_EQ (bank->getChildElement (15)->getStringAttribute ("name"), "init");

    // The whole bank is rewritten with the writer's layout and the new preset last, named last.
    EXPECT_EQ (fileBytes (defaultFile), PresetCodec::createBankFileData (*bank));
    const auto reread = juce::parseXML (defaultFile);
    ASSERT_NE (reread, nullptr);
    const auto* added = reread->getChildElement (15);
    ASSERT_NE (added, nullptr);
    EXPECT_EQ (added->getStringAttribute ("pitch"), "0.375");
    EXPECT_EQ (added->getAttributeName (added->getNumAttributes() - 1), "name");
}

TEST_F (BankTest, LoadPresetAppliesAChildAndIgnoresIndicesWithoutOne)
{
    OvarnbAudioProcessor processor;
    processor.addPreset ("mine");
    processor.setInternalValue (ParameterIndex::wet, 0.9);
    const auto before = stateOf (processor);

    for (const int index : { -1, 16, 1000 })
    {
        processor.loadPreset (index);
        EXPECT_EQ (stateOf (processor), before) << index;
    }

    processor.loadPreset (10);   // "vibrations"
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::pitch), -0.5);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::poly), 0.0);
    EXPECT_EQ (processor.getSynth().getNumVoices(), 8);

    processor.loadPreset (15);   // "mine": the state at the time it was added
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::wet), 0.5);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::pitch), 0.0);
    EXPECT_EQ (processor.getSynth().getNumVoices(), 16);
}

TEST_F (BankTest, UnreadableBankFileRaisesTheAlertAndChangesNothing)
{
    OvarnbAudioProcessor processor;
    auto* bankBefore = processor.getPresetList();

    const juce::File cases[] = {
        writeScratchFile ("text.ovb", "this is not a bank"),
        writeScratchFile ("empty.ovb", ""),
        writeScratchFile ("cut.ovb", "<?xml version=\"1.0\"?>\r\n<Ovarn-Bank>\r\n  <Ovarn pitch=\"1\"/>"),
        scratch.getChildFile ("missing.ovb"),
        scratch,
        writeScratchFile ("instruction.ovb", "<Ovarn-Bank><Ovarn name=\"a\"/><?x?>b</Ovarn-Bank>"),
        writeScratchBytes ("latin1.ovb", "<Ovarn-Bank><Ovarn name=\"caf\xe9\"/></Ovarn-Bank>"),
        writeScratchBytes ("zero.ovb", std::string ("<Ovarn-Bank><Ovarn/>\0</Ovarn-Bank>", 34)),
    };

    for (const auto& file : cases)
    {
        alerts.clear();
        processor.loadBank (file);

        EXPECT_EQ (alerts, juce::StringArray ("Bank File Error. / I cannot read this file.")) << file.getFileName();
        EXPECT_EQ (processor.getPresetList(), bankBefore);
        EXPECT_EQ (processor.getPresetList()->getNumChildElements(), 15);
        EXPECT_EQ (processor.getBankFile(), defaultFile);
    }
}

TEST_F (BankTest, LoadedBankReplacesTheListAndReceivesLaterPresets)
{
    OvarnbAudioProcessor processor;
    const auto factoryBytes = fileBytes (defaultFile);
    const auto userFile = writeScratchFile ("user.ovb",
        "<Ovarn-Bank><Ovarn pitch=\"0.25\" name=\"a\"/><Ovarn pitch=\"-0.25\" name=\"b\"/></Ovarn-Bank>");

    processor.loadBank (userFile);
    EXPECT_TRUE (alerts.isEmpty());
    EXPECT_EQ (processor.getBankFile(), userFile);
    EXPECT_EQ (childNames (*processor.getPresetList()), juce::StringArray ("a", "b"));

    processor.loadPreset (1);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::pitch), -0.25);

    processor.addPreset ("c");
    const auto reread = juce::parseXML (userFile);
    ASSERT_NE (reread, nullptr);
    EXPECT_EQ (childNames (*reread), juce::StringArray ("a", "b", "c"));
    EXPECT_EQ (fileBytes (defaultFile), factoryBytes);
}

TEST_F (BankTest, ReadsUtf8BanksWithAndWithoutByteOrderMark)
{
    OvarnbAudioProcessor processor;

    for (const std::string prefix : { "", "\xef\xbb\xbf" })
    {
        const auto file = writeScratchBytes ("utf8.ovb", prefix + "<Ovarn-Bank><Ovarn name=\"caf\xc3\xa9 \xe2\x99\xab\"/></Ovarn-Bank>");
        processor.loadBank (file);
        EXPECT_TRUE (alerts.isEmpty());
        EXPECT_EQ (childNames (*processor.getPresetList()),
                   juce::StringArray (juce::String::fromUTF8 ("caf\xc3\xa9 \xe2\x99\xab")));
    }
}

TEST_F (BankTest, ChildrenThatAreNotPresetsLoadButApplyNothing)
{
    OvarnbAudioProcessor processor;
    processor.loadBank (writeScratchFile ("odd.ovb",
        "<Other-Root><Other pitch=\"1\"/><ovarn pitch=\"1\"/><Ovarn-Bank pitch=\"1\"/></Other-Root>"));
    EXPECT_TRUE (alerts.isEmpty());
    ASSERT_EQ (processor.getPresetList()->getNumChildElements(), 3);

    const auto before = stateOf (processor);

    for (int i = 0; i < 3; ++i)
    {
        processor.loadPreset (i);
        EXPECT_EQ (stateOf (processor), before) << i;
    }
}

TEST_F (BankTest, BankPresetsWithBadNumbersKeepTheCurrentValues)
{
    OvarnbAudioProcessor processor;
    processor.loadBank (writeScratchFile ("bad.ovb",
        "<Ovarn-Bank><Ovarn lfofade=\"nan\" glide=\"inf\" pitch=\"-inf\" formant=\"1e999\" wet=\"\" "
        "smooth=\"x\" poly=\"1000\" CC3=\"24\" CC4=\"-2\" CC5=\"11\" name=\"bad\"/></Ovarn-Bank>"));
    ASSERT_TRUE (alerts.isEmpty());

    processor.setInternalValue (ParameterIndex::lfofade, 0.3);
    processor.setInternalValue (ParameterIndex::glide, 0.02);
    processor.loadPreset (0);

    EXPECT_EQ (processor.getInternalValue (ParameterIndex::lfofade), 0.3);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::glide), 0.02);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::pitch), 0.0);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::formant), 0.0);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::wet), 0.5);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::smooth), 0.1);
    EXPECT_EQ (processor.getInternalValue (ParameterIndex::poly), 32.0);
    EXPECT_EQ (processor.getSynth().getNumVoices(), 64);
    EXPECT_EQ (processor.getControllerBinding (3), -1);
    EXPECT_EQ (processor.getControllerBinding (4), -1);
    EXPECT_EQ (processor.getControllerBinding (5), 11);
}

TEST_F (BankTest, InstancesShareOneBankAndANewInstanceResetsItToTheDefaultFile)
{
    OvarnbAudioProcessor first, second;
    EXPECT_EQ (first.getPresetList(), second.getPresetList());

    first.addPreset ("shared");
    EXPECT_EQ (lastChild (*second.getPresetList())->getStringAttribute ("name"), "shared");

    const auto userFile = writeScratchFile ("user.ovb", "<Ovarn-Bank><Ovarn name=\"u\"/></Ovarn-Bank>");
    second.loadBank (userFile);
    EXPECT_EQ (first.getBankFile(), userFile);
    EXPECT_EQ (childNames (*first.getPresetList()), juce::StringArray ("u"));

    OvarnbAudioProcessor third;
    for (auto* p : { &first, &second, &third })
    {
        EXPECT_EQ (p->getBankFile(), defaultFile);
        EXPECT_EQ (p->getPresetList(), third.getPresetList());
    }

    // The default file was re-read: it holds the preset saved before the user bank was loaded.
    EXPECT_EQ (third.getPresetList()->getNumChildElements(), 16);
    EXPECT_EQ (lastChild (*third.getPresetList())->getStringAttribute ("name"), "shared");
}

TEST_F (BankTest, FailedWriteLeavesThePreviousBankFileReadable)
{
    OvarnbAudioProcessor processor;
    const auto before = fileBytes (defaultFile);

    {
        const ScopedFileSizeLimit diskFull;
        ASSERT_TRUE (diskFull.active);
        processor.addPreset ("lost");
    }

    EXPECT_EQ (fileBytes (defaultFile), before);
    EXPECT_EQ (defaultFile.getParentDirectory().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1)
        << "a temporary file was left behind";
    EXPECT_EQ (processor.getPresetList()->getNumChildElements(), 16);

    processor.addPreset ("kept");
    const auto reread = juce::parseXML (defaultFile);
    ASSERT_NE (reread, nullptr);
    EXPECT_EQ (reread->getNumChildElements(), 17);
}

TEST_F (BankTest, SmallWritesThatFailAreCaughtToo)
{
    // A bank smaller than the stream's buffer fails only when it is flushed.
    const auto target = writeScratchFile ("small.ovb", "previous");
    const juce::String text = juce::String::repeatedString ("x", 6000);

    bool written = true;
    {
        const ScopedFileSizeLimit diskFull;
        ASSERT_TRUE (diskFull.active);
        written = PresetCodec::replaceFileContents (target, text.toRawUTF8(), text.getNumBytesAsUTF8());
    }

    EXPECT_FALSE (written);
    EXPECT_EQ (target.loadFileAsString(), "previous");
}
