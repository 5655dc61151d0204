#include "RenderError.h"
#include "RenderOptions.h"

#include <gtest/gtest.h>

namespace
{
    const juce::File workingDirectory ("/work/dir");

    RenderOptions parse (const juce::String& commandLine)
    {
        juce::StringArray args;
        args.addTokens (commandLine, " ", "\"");
        args.removeEmptyStrings();
        args.trim();

        for (auto& a : args)
            a = a.unquoted();

        return RenderCommandLine::parse (args, workingDirectory);
    }

    TEST (CommandLine, OutputAloneMeansTheDemo)
    {
        const auto o = parse ("-o out/demo.wav --plot out/demo.png");
        EXPECT_EQ (o.outputFile, juce::File ("/work/dir/out/demo.wav"));
        EXPECT_EQ (o.plotFile, juce::File ("/work/dir/out/demo.png"));
        EXPECT_TRUE (o.usesDemoSound());
        EXPECT_TRUE (o.usesDemoPhrase());
        EXPECT_EQ (o.blockSize, 512);
        EXPECT_EQ (o.tailSeconds, 1.0);
        EXPECT_EQ (o.bitsPerSample, 24);
        EXPECT_FALSE (o.tempo.has_value());
    }

    TEST (CommandLine, ReadsEveryOptionInBothSpellings)
    {
        const auto o = parse ("--input=/abs/in.aiff -m part.mid -p \"formant drop\" --set pitch=0.5 --set wet=1 "
                              "--tempo 96.5 --block-size=64 --tail 0 --bits 32 --output o.wav --save-state s.bin "
                              "-n C4:0:1 --note=A#3:0.5:1.5:30 --no-progress");
        EXPECT_EQ (o.inputFile, juce::File ("/abs/in.aiff"));
        EXPECT_EQ (o.midiFile, juce::File ("/work/dir/part.mid"));
        EXPECT_EQ (o.presetName, "formant drop");
        ASSERT_EQ (o.overrides.size(), 2u);
        EXPECT_EQ (o.overrides[0].key, "pitch");
        EXPECT_EQ (o.overrides[0].value, 0.5);
        EXPECT_EQ (o.overrides[1].key, "wet");
        EXPECT_EQ (o.overrides[1].value, 1.0);
        EXPECT_EQ (o.tempo.value_or (0.0), 96.5);
        EXPECT_EQ (o.blockSize, 64);
        EXPECT_EQ (o.tailSeconds, 0.0);
        EXPECT_EQ (o.bitsPerSample, 32);
        EXPECT_EQ (o.saveStateFile, juce::File ("/work/dir/s.bin"));
        ASSERT_EQ (o.notes.size(), 2u);
        EXPECT_EQ (o.notes[1].noteNumber, 58);
        EXPECT_EQ (o.notes[1].velocity, 30);
        EXPECT_FALSE (o.showProgress);
        EXPECT_FALSE (o.usesDemoSound());
        EXPECT_FALSE (o.usesDemoPhrase());
    }

    TEST (CommandLine, SaveStateAloneNeedsNoAudioOutput)
    {
        const auto o = parse ("-p init --save-state init.state");
        EXPECT_FALSE (o.rendersAudio());
        EXPECT_EQ (o.saveStateFile, juce::File ("/work/dir/init.state"));
    }

    TEST (CommandLine, HelpNeedsNothingElse)
    {
        EXPECT_TRUE (parse ("--help").showHelp);
        EXPECT_TRUE (parse ("-h").showHelp);
        EXPECT_TRUE (RenderCommandLine::getHelpText().contains ("lfoshape"));
    }

    struct BadCommandLine
    {
        const char* args;
        const char* message;

        friend void PrintTo (const BadCommandLine& c, std::ostream* os)   { *os << "'" << c.args << "'"; }
    };

    class CommandLineErrors : public ::testing::TestWithParam<BadCommandLine> {};

    TEST_P (CommandLineErrors, AreUsageErrorsThatNameTheProblem)
    {
        const auto& c = GetParam();

        try
        {
            parse (c.args);
            ADD_FAILURE() << "accepted: " << c.args;
        }
        catch (const RenderError& e)
        {
            EXPECT_EQ (e.exitCode, RenderExit::usage) << c.args;
            EXPECT_TRUE (e.getMessage().contains (c.message)) << c.args << " -> " << e.what();
            EXPECT_FALSE (e.getMessage().containsChar ('\n')) << e.what();
        }
    }

    INSTANTIATE_TEST_SUITE_P (Table, CommandLineErrors, ::testing::Values (
        BadCommandLine { "", "no output file" },
        BadCommandLine { "-i in.wav", "no output file" },
        BadCommandLine { "-o a.wav --frobnicate", "unknown option '--frobnicate'" },
        BadCommandLine { "-o a.wav stray", "unexpected argument 'stray'" },
        BadCommandLine { "-o", "-o needs a value" },
        BadCommandLine { "-o a.wav -o b.wav", "--output given more than once" },
        BadCommandLine { "-o a.wav --set pitchh=0.5", "unknown parameter key 'pitchh'" },
        BadCommandLine { "-o a.wav --set pitch=half", "value 'half' for 'pitch' is not a number" },
        BadCommandLine { "-o a.wav --set pitch=", "is not a number" },
        BadCommandLine { "-o a.wav --set pitch", "--set needs KEY=VALUE" },
        BadCommandLine { "-o a.wav --set pitch=1.5", "outside -1 to 1" },
        BadCommandLine { "-o a.wav --set poly=33", "outside 0 to 32" },
        BadCommandLine { "-o a.wav --tempo fast", "--tempo needs a number" },
        BadCommandLine { "-o a.wav --tempo 0", "--tempo must be between" },
        BadCommandLine { "-o a.wav --block-size 0", "--block-size must be" },
        BadCommandLine { "-o a.wav --block-size 12.5", "--block-size must be" },
        BadCommandLine { "-o a.wav --tail -1", "--tail must be between" },
        BadCommandLine { "-o a.wav --bits 8", "--bits must be 16, 24 or 32" },
        BadCommandLine { "-o a.wav -n C4:2:1", "bad note 'C4:2:1'" },
        BadCommandLine { "-o a.wav -p x --state s", "either --preset or --state" },
        BadCommandLine { "-o a.wav -p \"\"", "--preset needs a name" },
        BadCommandLine { "--plot p.png", "--plot needs an audio output" },
        BadCommandLine { "-i a.wav -o a.wav", "would overwrite the input" },
        BadCommandLine { "-o a.wav --plot a.wav", "name the same file" },
        BadCommandLine { "--help=yes", "takes no value" }));
}
