#include "NoteParsing.h"
#include "RenderError.h"

#include <gtest/gtest.h>

namespace
{
    struct NoteNameCase
    {
        const char* text;
        int expected;   // -1: rejected

        friend void PrintTo (const NoteNameCase& c, std::ostream* os)   { *os << "'" << c.text << "'"; }
    };

    class NoteNames : public ::testing::TestWithParam<NoteNameCase> {};

    TEST_P (NoteNames, ReadsNumbersAndNamesWithMiddleCAsC4)
    {
        const auto& c = GetParam();
        const auto result = NoteParsing::parseNoteNumber (c.text);

        if (c.expected < 0)
            EXPECT_FALSE (result.has_value()) << c.text << " gave " << result.value_or (-99);
        else
            EXPECT_EQ (result.value_or (-99), c.expected) << c.text;
    }

    INSTANTIATE_TEST_SUITE_P (Table, NoteNames, ::testing::Values (
        NoteNameCase { "60", 60 }, NoteNameCase { "0", 0 }, NoteNameCase { "127", 127 },
        NoteNameCase { "C4", 60 }, NoteNameCase { "c4", 60 }, NoteNameCase { "A4", 69 },
        NoteNameCase { "A#3", 58 }, NoteNameCase { "Bb3", 58 }, NoteNameCase { "bb3", 58 },
        NoteNameCase { "B3", 59 }, NoteNameCase { "E#4", 65 }, NoteNameCase { "Cb4", 59 },
        NoteNameCase { "F##2", 43 }, NoteNameCase { "C-1", 0 }, NoteNameCase { "G9", 127 },
        NoteNameCase { "128", -1 }, NoteNameCase { "-1", -1 }, NoteNameCase { "G#9", -1 },
        NoteNameCase { "Cb-1", -1 }, NoteNameCase { "H4", -1 }, NoteNameCase { "C", -1 },
        NoteNameCase { "C#", -1 }, NoteNameCase { "C###4", -1 }, NoteNameCase { "C+4", -1 },
        NoteNameCase { "4C", -1 }, NoteNameCase { "", -1 }, NoteNameCase { "C4.5", -1 }));

    TEST (NoteNames, NamesReadBackToTheSameNumber)
    {
        for (int n = 0; n < 128; ++n)
            EXPECT_EQ (NoteParsing::parseNoteNumber (NoteParsing::getNoteName (n)).value_or (-1), n)
                << NoteParsing::getNoteName (n);
    }

    TEST (Numbers, AcceptOnlyWholeFiniteDecimals)
    {
        EXPECT_EQ (NoteParsing::parseNumber ("0.5").value_or (-1), 0.5);
        EXPECT_EQ (NoteParsing::parseNumber ("-1").value_or (0), -1.0);
        EXPECT_EQ (NoteParsing::parseNumber (" 2e-3 ").value_or (0), 0.002);

        for (auto bad : { "", "abc", "0.5x", "nan", "inf", "0x10", "1e999", "--1", "1,5" })
            EXPECT_FALSE (NoteParsing::parseNumber (bad).has_value()) << bad;
    }

    TEST (NoteSpecs, ReadNoteTimesAndVelocity)
    {
        const auto a = NoteParsing::parseNoteSpec ("C4:0.5:2");
        EXPECT_EQ (a.noteNumber, 60);
        EXPECT_EQ (a.startSeconds, 0.5);
        EXPECT_EQ (a.endSeconds, 2.0);
        EXPECT_EQ (a.velocity, 100);

        const auto b = NoteParsing::parseNoteSpec ("70:0:0.25:64");
        EXPECT_EQ (b.noteNumber, 70);
        EXPECT_EQ (b.startSeconds, 0.0);
        EXPECT_EQ (b.endSeconds, 0.25);
        EXPECT_EQ (b.velocity, 64);
    }

    TEST (NoteSpecs, RejectMalformedSpecsNamingTheProblem)
    {
        const std::pair<const char*, const char*> cases[] = {
            { "C4:1", "wrong number of fields" },
            { "C4:1:2:3:4", "wrong number of fields" },
            { "X4:0:1", "not a note number" },
            { "C4:-1:1", "start" },
            { "C4:a:1", "start" },
            { "C4:2:1", "end must be" },
            { "C4:1:1", "end must be" },
            { "C4:0:1:0", "velocity" },
            { "C4:0:1:128", "velocity" },
            { "C4:0:1:9.5", "velocity" },
        };

        for (const auto& [spec, why] : cases)
        {
            try
            {
                NoteParsing::parseNoteSpec (spec);
                ADD_FAILURE() << spec << " was accepted";
            }
            catch (const RenderError& e)
            {
                EXPECT_EQ (e.exitCode, RenderExit::usage) << spec;
                EXPECT_TRUE (e.getMessage().contains (why)) << spec << ": " << e.what();
                EXPECT_TRUE (e.getMessage().contains (spec)) << spec << ": " << e.what();
            }
        }
    }
}
