// Runs the built ovarn-render as a user does and compares what it writes with the
// processor driven directly, block by block, by the code in this file.

#include "RenderTestHelpers.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
    using RenderTest::ScratchFolder;

    /** A host's play head at a fixed tempo, playing from sample 0. */
    struct FixedTempoPlayHead : public juce::AudioPlayHead
    {
        double bpm = 120.0, rate = 48000.0;
        juce::int64 position = 0;

        juce::Optional<PositionInfo> getPosition() const override
        {
            PositionInfo info;
            info.setIsPlaying (true);
            info.setBpm (bpm);
            info.setTimeInSamples (position);
            info.setTimeInSeconds ((double) position / rate);
            info.setPpqPosition ((double) position / rate * bpm / 60.0);
            info.setTimeSignature (TimeSignature { 4, 4 });
            return info;
        }
    };

    struct DirectNote
    {
        int note;
        juce::int64 onSample, offSample;
    };

    struct DirectSettings
    {
        juce::String preset;
        std::vector<std::pair<juce::String, double>> values;
        double bpm = 120.0;
    };

    /** The processor as a host drives it: layout, settings, prepare, then block after block. */
    juce::AudioBuffer<float> renderDirectly (const juce::AudioBuffer<float>& input, double rate, int blockSize,
                                             int totalSamples, const std::vector<DirectNote>& notes,
                                             const DirectSettings& settings)
    {
        const auto channels = input.getNumChannels();
        auto processor = std::make_unique<OvarnbAudioProcessor>();

        const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        EXPECT_TRUE (processor->setBusesLayout (layout));
        processor->setRateAndBufferSizeDetails (rate, blockSize);

        if (settings.preset.isNotEmpty())
        {
            auto* bank = processor->getPresetList();
            int index = 0;
            for (auto* p : bank->getChildIterator())
            {
                if (p->getStringAttribute ("name") == settings.preset)
                    break;
                ++index;
            }
            processor->loadPreset (index);
        }

        for (const auto& [key, value] : settings.values)
        {
            const auto index = OvarnbAudioProcessor::findParameterIndex (key);
            processor->setInternalValue (index, value);
            if (key == "poly")
                processor->setPoly ((int) value);
        }
        if (! settings.values.empty())
            processor->updateLinkOffsets();

        FixedTempoPlayHead playHead;
        playHead.bpm = settings.bpm;
        playHead.rate = rate;
        processor->setPlayHead (&playHead);
        processor->prepareToPlay (rate, blockSize);

        juce::AudioBuffer<float> output (channels, totalSamples);
        output.clear();

        for (int start = 0; start < totalSamples; start += blockSize)
        {
            const auto n = std::min (blockSize, totalSamples - start);
            juce::AudioBuffer<float> block (channels, n);
            block.clear();

            for (int ch = 0; ch < channels; ++ch)
                for (int s = 0; s < n && start + s < input.getNumSamples(); ++s)
                    block.setSample (ch, s, input.getSample (ch, start + s));

            // Offs before ons on a shared sample.
            juce::MidiBuffer midi;
            for (const auto& note : notes)
                if (note.offSample >= start && note.offSample < start + n)
                    midi.addEvent (juce::MidiMessage::noteOff (1, note.note), (int) (note.offSample - start));
            for (const auto& note : notes)
                if (note.onSample >= start && note.onSample < start + n)
                    midi.addEvent (juce::MidiMessage::noteOn (1, note.note, (juce::uint8) 100), (int) (note.onSample - start));

            playHead.position = start;
            processor->processBlock (block, midi);

            for (int ch = 0; ch < channels; ++ch)
                output.copyFrom (ch, start, block, ch, 0, n);
        }

        processor->setPlayHead (nullptr);
        return output;
    }

    /** A test input: two tones per channel that change over time, different in each channel. */
    juce::AudioBuffer<float> makeInput (int channels, double rate, double seconds)
    {
        juce::AudioBuffer<float> buffer (channels, (int) (seconds * rate));
        const auto twoPi = juce::MathConstants<double>::twoPi;

        for (int ch = 0; ch < channels; ++ch)
            for (int s = 0; s < buffer.getNumSamples(); ++s)
            {
                const auto t = s / rate;
                const auto f = 110.0 * (ch + 1) * (1.0 + 0.5 * t);
                buffer.setSample (ch, s, (float) (0.3 * std::sin (twoPi * f * t) + 0.1 * std::sin (twoPi * 3.1 * f * t + ch)));
            }

        return buffer;
    }

    juce::String firstPresetOtherThanInit()
    {
        OvarnbAudioProcessor processor;
        for (auto* p : processor.getPresetList()->getChildIterator())
            if (p->getStringAttribute ("name") != "init")
                return p->getStringAttribute ("name");
        return {};
    }

    void expectSameAudio (const juce::AudioBuffer<float>& actual, const juce::AudioBuffer<float>& expected)
    {
        ASSERT_EQ (actual.getNumChannels(), expected.getNumChannels());
        ASSERT_EQ (actual.getNumSamples(), expected.getNumSamples());

        for (int ch = 0; ch < actual.getNumChannels(); ++ch)
            for (int s = 0; s < actual.getNumSamples(); ++s)
                if (actual.getSample (ch, s) != expected.getSample (ch, s))
                {
                    ADD_FAILURE() << "first difference at channel " << ch << " sample " << s << ": "
                                  << actual.getSample (ch, s) << " vs " << expected.getSample (ch, s);
                    return;
                }
    }

    juce::MemoryBlock bytesOf (const juce::File& file)
    {
        juce::MemoryBlock data;
        file.loadFileAsData (data);
        return data;
    }

    //==============================================================================
    struct EquivalenceCase
    {
        const char* name;
        int channels;
        int blockSize;
        double tempo;
        bool usePreset;
        std::vector<std::pair<juce::String, double>> values;
        const char* inputFile = "in.wav";

        friend void PrintTo (const EquivalenceCase& c, std::ostream* os)   { *os << c.name; }
    };

    class RenderEquivalence : public ::testing::TestWithParam<EquivalenceCase> {};

    TEST_P (RenderEquivalence, ProgramOutputEqualsTheProcessorDrivenDirectly)
    {
        const auto& c = GetParam();
        constexpr double rate = 48000.0;
        ScratchFolder dir;

        const auto inputFile = dir / c.inputFile;
        RenderTest::writeAudio (inputFile, makeInput (c.channels, rate, 1.5), rate, 24);
        const auto input = RenderTest::readAudio (inputFile).buffer;   // as quantised in the file

        // Times that fall on whole samples at 48 kHz; the second note crosses block edges.
        const std::vector<DirectNote> notes { { 60, 9600, 43200 }, { 67, 24000, 60000 }, { 55, 43200, 66000 } };

        juce::StringArray args { "-i", inputFile.getFullPathName(), "-o", (dir / "out.wav").getFullPathName(),
                                 "--bits", "32", "--block-size", juce::String (c.blockSize), "--tail", "0.25",
                                 "--tempo", juce::String (c.tempo),
                                 "-n", "C4:0.2:0.9", "-n", "G4:0.5:1.25", "-n", "55:0.9:1.375" };
        DirectSettings settings;
        settings.bpm = c.tempo;
        settings.values = c.values;

        if (c.usePreset)
        {
            settings.preset = firstPresetOtherThanInit();
            ASSERT_TRUE (settings.preset.isNotEmpty()) << "the bank has no presets";
            args.addArray ({ "--preset", settings.preset });
        }

        for (const auto& [key, value] : c.values)
            args.addArray ({ "--set", key + "=" + juce::String (value) });

        const auto run = RenderTest::runRenderer (args);
        ASSERT_EQ (run.exitCode, 0) << run.errorOutput;

        const auto rendered = RenderTest::readAudio (dir / "out.wav");
        EXPECT_EQ (rendered.sampleRate, rate);
        EXPECT_EQ (rendered.bitsPerSample, 32);

        const auto total = input.getNumSamples() + (int) (0.25 * rate);
        const auto expected = renderDirectly (input, rate, c.blockSize, total, notes, settings);
        expectSameAudio (rendered.buffer, expected);

        // The notes must make a difference, or the comparison proves little.
        const auto withoutNotes = renderDirectly (input, rate, c.blockSize, total, {}, settings);
        float largestChange = 0.0f;
        for (int ch = 0; ch < c.channels; ++ch)
            for (int s = 0; s < total; ++s)
                largestChange = std::max (largestChange, std::abs (expected.getSample (ch, s) - withoutNotes.getSample (ch, s)));
        EXPECT_GT (largestChange, 0.05f);
    }

    INSTANTIATE_TEST_SUITE_P (Cases, RenderEquivalence, ::testing::Values (
        EquivalenceCase { "MonoDefaultSound", 1, 512, 120.0, false, {} },
        EquivalenceCase { "StereoOddBlocksTempoSyncedLfo", 2, 37, 90.0, false,
                          { { "pitch", 0.25 }, { "pitchlfo", 0.3 }, { "lfosync", 1.0 }, { "wet", 1.0 } } },
        EquivalenceCase { "StereoAiffPresetInMonoMode", 2, 256, 120.0, true, { { "poly", 1.0 }, { "formant", -0.3 } }, "in.aiff" }),
        [] (const auto& testCase) { return std::string (testCase.param.name); });

    TEST (RenderProgram, MidiFileNotesArePlayedAtTheirTempoMappedSamples)
    {
        constexpr double rate = 48000.0;
        ScratchFolder dir;
        const auto input = makeInput (1, rate, 4.0);
        RenderTest::writeAudio (dir / "in.wav", input, rate, 32);

        // 480 ticks per quarter; 120 bpm, 60 bpm from tick 960 (1 s), 240 bpm from tick 1920 (3 s).
        // Notes: 60 from tick 480 to 1440 (0.5 s to 2 s), 64 from 2400 to 2880 (3.25 s to 3.5 s).
        const juce::uint8 file[] = {
            'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xe0,
            'M', 'T', 'r', 'k', 0, 0, 0, 47,
            0x00, 0xff, 0x51, 0x03, 0x07, 0xa1, 0x20,          // 500000 us per quarter
            0x83, 0x60, 0x90, 60, 100,                         // +480
            0x83, 0x60, 0xff, 0x51, 0x03, 0x0f, 0x42, 0x40,    // +480: 1000000 us
            0x83, 0x60, 0x80, 60, 0,                           // +480
            0x83, 0x60, 0xff, 0x51, 0x03, 0x03, 0xd0, 0x90,    // +480: 250000 us
            0x83, 0x60, 0x90, 64, 100,                         // +480
            0x83, 0x60, 0x80, 64, 0,                           // +480
            0x00, 0xff, 0x2f, 0x00 };
        ASSERT_TRUE ((dir / "part.mid").replaceWithData (file, sizeof (file)));

        const auto run = RenderTest::runRenderer ({ "-i", (dir / "in.wav").getFullPathName(), "-m", (dir / "part.mid").getFullPathName(),
                                                    "-o", (dir / "out.wav").getFullPathName(), "--bits", "32", "--tail", "0",
                                                    "--tempo", "120" });
        ASSERT_EQ (run.exitCode, 0) << run.errorOutput;

        const auto expected = renderDirectly (input, rate, 512, input.getNumSamples(),
                                              { { 60, 24000, 96000 }, { 64, 156000, 168000 } }, {});
        expectSameAudio (RenderTest::readAudio (dir / "out.wav").buffer, expected);
    }

    //==============================================================================
    TEST (RenderProgram, DemoRenderWritesANonSilentWavAndAPictureTheSameEachTime)
    {
        ScratchFolder dir;
        const auto wav = dir / "out/demo.wav";
        const auto png = dir / "out/demo.png";

        const auto run = RenderTest::runRenderer ({ "-o", wav.getFullPathName(), "--plot", png.getFullPathName() });
        ASSERT_EQ (run.exitCode, 0) << run.errorOutput;
        EXPECT_EQ (run.errorOutput, "");   // no warnings, no progress bar when stderr is a pipe

        const auto audio = RenderTest::readAudio (wav);
        EXPECT_EQ (audio.sampleRate, 44100.0);
        EXPECT_EQ (audio.bitsPerSample, 24);
        EXPECT_EQ (audio.buffer.getNumSamples(), 9 * 44100);   // 8 s of demo and 1 s of tail
        EXPECT_GT (audio.buffer.getRMSLevel (0, 0, audio.buffer.getNumSamples()), 0.02f);
        EXPECT_GT (audio.buffer.getRMSLevel (0, (int) (5.5 * 44100), 44100), 0.02f);   // the chord

        const auto image = juce::ImageFileFormat::loadFrom (png);
        EXPECT_EQ (image.getWidth(), 1600);
        EXPECT_EQ (image.getHeight(), 1000);
        EXPECT_EQ (dir.listNames(), juce::StringArray { "out" });
        EXPECT_EQ (juce::File (dir / "out").findChildFiles (juce::File::findFiles, false).size(), 2);

        const auto again = RenderTest::runRenderer ({ "-o", (dir / "again.wav").getFullPathName(),
                                                      "--plot", (dir / "again.png").getFullPathName() });
        ASSERT_EQ (again.exitCode, 0) << again.errorOutput;
        EXPECT_EQ (bytesOf (wav), bytesOf (dir / "again.wav"));
        EXPECT_EQ (bytesOf (png), bytesOf (dir / "again.png"));
    }

    TEST (RenderProgram, SavedStateBringsBackTheSameSound)
    {
        ScratchFolder dir;
        const auto preset = firstPresetOtherThanInit();
        ASSERT_TRUE (preset.isNotEmpty());

        const auto a = RenderTest::runRenderer ({ "--preset", preset, "--set", "formant=0.25", "--set", "wet=0.8",
                                                  "--save-state", (dir / "sound.state").getFullPathName(),
                                                  "-o", (dir / "a.wav").getFullPathName(), "--bits", "32" });
        ASSERT_EQ (a.exitCode, 0) << a.errorOutput;

        const auto b = RenderTest::runRenderer ({ "--state", (dir / "sound.state").getFullPathName(),
                                                  "-o", (dir / "b.wav").getFullPathName(), "--bits", "32" });
        ASSERT_EQ (b.exitCode, 0) << b.errorOutput;

        const auto plain = RenderTest::runRenderer ({ "-o", (dir / "plain.wav").getFullPathName(), "--bits", "32" });
        ASSERT_EQ (plain.exitCode, 0) << plain.errorOutput;

        EXPECT_EQ (bytesOf (dir / "a.wav"), bytesOf (dir / "b.wav"));
        EXPECT_NE (bytesOf (dir / "a.wav"), bytesOf (dir / "plain.wav"));

        // The state is the processor's own: it loads into a processor directly.
        const auto state = bytesOf (dir / "sound.state");
        OvarnbAudioProcessor processor;
        processor.setStateInformation (state.getData(), (int) state.getSize());
        EXPECT_EQ (processor.getInternalValue (OvarnbAudioProcessor::findParameterIndex ("formant")), 0.25);
        EXPECT_EQ (processor.getInternalValue (OvarnbAudioProcessor::findParameterIndex ("wet")), 0.8);
    }

    //==============================================================================
    struct ErrorCase
    {
        const char* name;
        std::vector<juce::String> args;   // "@" stands for the scratch folder
        int exitCode;
        const char* message;

        friend void PrintTo (const ErrorCase& c, std::ostream* os)   { *os << c.name; }
    };

    class RenderErrors : public ::testing::TestWithParam<ErrorCase> {};

    TEST_P (RenderErrors, FailWithOneLineAndLeaveNoFiles)
    {
        const auto& c = GetParam();
        ScratchFolder dir;

        // Inputs that the cases refer to.
        RenderTest::writeAudio (dir / "good.wav", makeInput (1, 48000.0, 0.5), 48000.0);
        RenderTest::writeAudio (dir / "three.wav", juce::AudioBuffer<float> (3, 4800), 48000.0);
        ASSERT_TRUE ((dir / "garbage.wav").replaceWithText ("this is not audio"));
        ASSERT_TRUE ((dir / "garbage.mid").replaceWithText ("this is not MIDI either"));
        ASSERT_TRUE ((dir / "garbage.state").replaceWithText ("<Other/>"));
        ASSERT_TRUE ((dir / "afile").replaceWithText ("a file where a folder is expected"));
        const juce::uint8 tempoOnly[] = { 'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xe0,
                                          'M', 'T', 'r', 'k', 0, 0, 0, 11,
                                          0x00, 0xff, 0x51, 0x03, 0x07, 0xa1, 0x20, 0x00, 0xff, 0x2f, 0x00 };
        ASSERT_TRUE ((dir / "empty.mid").replaceWithData (tempoOnly, sizeof (tempoOnly)));
        const auto before = dir.listNames();

        juce::StringArray args;
        for (const auto& a : c.args)
            args.add (a.replace ("@", dir.folder.getFullPathName()));

        // Every case asks for every output, so that none may appear.
        args.addArray ({ "--plot", (dir / "out/p.png").getFullPathName(), "--save-state", (dir / "out/s.state").getFullPathName() });
        if (! args.contains ("-o"))
            args.addArray ({ "-o", (dir / "out/o.wav").getFullPathName() });

        const auto run = RenderTest::runRenderer (args);

        EXPECT_EQ (run.exitCode, c.exitCode) << run.errorOutput;
        EXPECT_TRUE (run.errorOutput.startsWith ("ovarn-render: error: ")) << run.errorOutput;
        EXPECT_TRUE (run.errorOutput.contains (juce::String (c.message).replace ("@", dir.folder.getFullPathName())))
            << run.errorOutput;
        EXPECT_EQ (run.errorOutput.trimEnd().indexOfChar ('\n'), -1) << run.errorOutput;

        // An output folder may have been made, but it stays empty: no temporary files either.
        const auto out = dir / "out";
        EXPECT_EQ (out.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);

        auto after = dir.listNames();
        after.removeString ("out");
        EXPECT_EQ (after, before);
    }

    INSTANTIATE_TEST_SUITE_P (Cases, RenderErrors, ::testing::Values (
        ErrorCase { "MissingInput", { "-i", "@/none.wav" }, 1, "input file '@/none.wav' does not exist" },
        ErrorCase { "InputNotAudio", { "-i", "@/garbage.wav" }, 1, "is not a WAV or AIFF file" },
        ErrorCase { "InputWithThreeChannels", { "-i", "@/three.wav" }, 1, "has 3 channels; only mono and stereo are supported" },
        ErrorCase { "MissingMidiFile", { "-m", "@/none.mid" }, 1, "does not exist" },
        ErrorCase { "MidiFileNotMidi", { "-m", "@/garbage.mid" }, 1, "is not a standard MIDI file" },
        ErrorCase { "MidiFileWithoutNotes", { "-m", "@/empty.mid" }, 1, "contains no notes" },
        ErrorCase { "MissingStateFile", { "--state", "@/none.state" }, 1, "state file '@/none.state' does not exist" },
        ErrorCase { "StateFileOfSomethingElse", { "--state", "@/garbage.state" }, 1, "is not an Ovarn saved state" },
        ErrorCase { "UnknownPreset", { "--preset", "no such preset" }, 2, "unknown preset 'no such preset'; presets: " },
        ErrorCase { "UnknownKey", { "--set", "formants=0.1" }, 2, "unknown parameter key 'formants'" },
        ErrorCase { "ValueNotANumber", { "--set", "wet=lots" }, 2, "value 'lots' for 'wet' is not a number" },
        ErrorCase { "BadNote", { "-n", "Q4:0:1" }, 2, "bad note 'Q4:0:1'" },
        ErrorCase { "OutputFolderIsAFile", { "-o", "@/afile/o.wav" }, 1, "cannot create the folder '@/afile'" }),
        [] (const auto& testCase) { return std::string (testCase.param.name); });
}
