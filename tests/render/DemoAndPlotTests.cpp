#include "DemoMaterial.h"
#include "RenderPlot.h"
#include "TempoMap.h"

#include <juce_dsp/juce_dsp.h>
#include <gtest/gtest.h>

namespace
{
    /** The share of a 4096-sample stretch's power (first channel) that lies between two frequencies. */
    double powerShare (const juce::AudioBuffer<float>& buffer, double sampleRate, double seconds, double lowHz, double highHz)
    {
        constexpr int order = 12, size = 1 << order;
        std::vector<float> frame (size * 2, 0.0f);
        const auto start = (int) (seconds * sampleRate) - size / 2;

        for (int i = 0; i < size; ++i)
            frame[(size_t) i] = buffer.getSample (0, start + i)
                              * (float) (0.5 - 0.5 * std::cos (juce::MathConstants<double>::twoPi * i / size));

        juce::dsp::FFT (order).performFrequencyOnlyForwardTransform (frame.data(), true);

        double inBand = 0.0, total = 0.0;
        for (int b = 1; b < size / 2; ++b)
        {
            const auto power = (double) frame[(size_t) b] * frame[(size_t) b];
            const auto hz = b * sampleRate / size;
            total += power;
            if (hz >= lowHz && hz < highHz)
                inBand += power;
        }
        return inBand / total;
    }

    TEST (DemoSound, IsTheSameEveryTimeAndScaledToItsPeak)
    {
        const auto a = DemoMaterial::makeSound();
        const auto b = DemoMaterial::makeSound();

        ASSERT_EQ (a.getNumChannels(), 1);
        ASSERT_EQ (a.getNumSamples(), 8 * 44100);
        EXPECT_EQ (std::memcmp (a.getReadPointer (0), b.getReadPointer (0), sizeof (float) * (size_t) a.getNumSamples()), 0);
        EXPECT_NEAR (a.getMagnitude (0, 0, a.getNumSamples()), 0.3f, 1e-6f);
        EXPECT_GT (a.getRMSLevel (0, 44100, 44100), 0.05f);
    }

    TEST (DemoSound, ItsVowelsMoveTheSpectrum)
    {
        // Held vowels: "a" at 0.8 s (formants near 730 and 1090 Hz), "i" at 3.8 s (270,
        // 2290 Hz), "u" at 7 s (300, 870 Hz).
        const auto sound = DemoMaterial::makeSound();
        const auto share = [&] (double seconds, double lowHz, double highHz)
        {
            return powerShare (sound, 44100.0, seconds, lowHz, highHz);
        };

        // "a" is open: much more of its power sits around 550-1300 Hz than in "u" or "i".
        EXPECT_GT (share (0.8, 550.0, 1300.0), 3.0 * share (7.0, 550.0, 1300.0));
        EXPECT_GT (share (0.8, 550.0, 1300.0), 3.0 * share (3.8, 550.0, 1300.0));

        // "i" has its second formant high, "u" low: compare 2.1-2.6 kHz with 0.7-1 kHz.
        const auto frontness = [&] (double seconds) { return share (seconds, 2100.0, 2600.0) / share (seconds, 700.0, 1000.0); };
        EXPECT_GT (frontness (3.8), 10.0 * frontness (7.0));
    }

    TEST (DemoPhrase, HasAHeldNoteALegatoLineAndAChordWithinTheSound)
    {
        const auto notes = DemoMaterial::makePhrase();
        int overlapsWithNext = 0, chordNotes = 0;

        for (size_t i = 0; i < notes.size(); ++i)
        {
            EXPECT_LT (notes[i].startSeconds, notes[i].endSeconds);
            EXPECT_LE (notes[i].endSeconds, DemoMaterial::lengthSeconds);

            if (i + 1 < notes.size() && notes[i + 1].startSeconds > notes[i].startSeconds
                && notes[i + 1].startSeconds < notes[i].endSeconds)
                ++overlapsWithNext;

            if (i > 0 && notes[i].startSeconds == notes[i - 1].startSeconds)
                ++chordNotes;
        }

        EXPECT_GE (notes.front().endSeconds - notes.front().startSeconds, 1.5);
        EXPECT_GE (overlapsWithNext, 3);
        EXPECT_GE (chordNotes, 2);
    }

    TEST (Tempo, PositionAccumulatesAcrossChanges)
    {
        TempoMap map (120.0);
        map.addChange (2.0, 60.0);
        map.addChange (2.0, 90.0);    // replaces the change at the same time
        map.addChange (4.0, 180.0);

        EXPECT_EQ (map.getNumChanges(), 2);
        EXPECT_DOUBLE_EQ (map.getPpqAt (1.0), 2.0);
        EXPECT_DOUBLE_EQ (map.getPpqAt (3.0), 4.0 + 1.5);
        EXPECT_DOUBLE_EQ (map.getPpqAt (5.0), 4.0 + 3.0 + 3.0);
        EXPECT_DOUBLE_EQ (map.getBpmAt (4.5), 180.0);
        EXPECT_DOUBLE_EQ (map.getSecondsAtPpq (10.0), 5.0);
    }

    //==============================================================================
    struct PlotFixture : public ::testing::Test
    {
        static constexpr double rate = 16000.0;

        PlotFixture() : input (1, (int) (2 * rate)), output (2, (int) (4 * rate))
        {
            input.clear();
            output.clear();

            // The output holds a 1 kHz tone in its second half only.
            for (int ch = 0; ch < 2; ++ch)
                for (int s = output.getNumSamples() / 2; s < output.getNumSamples(); ++s)
                    output.setSample (ch, s, 0.5f * (float) std::sin (juce::MathConstants<double>::twoPi * 1000.0 * s / rate));

            notes.push_back ({ 60, 1.0, 3.0, 127, 1 });
        }

        juce::Image draw()
        {
            return RenderPlot::draw ({ input, output, rate, notes, "test" });
        }

        juce::AudioBuffer<float> input, output;
        std::vector<NoteEvent> notes;
    };

    TEST_F (PlotFixture, HasItsFixedSize)
    {
        const auto image = draw();
        EXPECT_EQ (image.getWidth(), RenderPlot::width);
        EXPECT_EQ (image.getHeight(), RenderPlot::height);

        juce::MemoryOutputStream png;
        ASSERT_TRUE (RenderPlot::writePng (image, png));
        const auto back = juce::ImageFileFormat::loadFrom (png.getData(), png.getDataSize());
        EXPECT_EQ (back.getWidth(), RenderPlot::width);
        EXPECT_EQ (back.getHeight(), RenderPlot::height);
    }

    TEST_F (PlotFixture, SpectrogramShowsTheToneAtItsFrequencyAndTime)
    {
        const auto image = draw();
        const auto area = RenderPlot::getLayout().spectrogram;
        const auto brightness = [&] (int x, int y) { return image.getPixelAt (x, y).getPerceivedBrightness(); };

        // In the tone's half, the brightest row is the one for 1 kHz.
        const auto x = (int) RenderPlot::timeToX (3.5, 4.0);
        int brightestRow = area.getY();
        for (int y = area.getY(); y < area.getBottom(); ++y)
            if (brightness (x, y) > brightness (x, brightestRow))
                brightestRow = y;

        EXPECT_NEAR (brightestRow, RenderPlot::frequencyToY (1000.0, RenderPlot::getMaxHz (rate)), 3.0);

        // In the silent half that row is dark.
        const auto silentX = (int) RenderPlot::timeToX (0.5, 4.0);
        EXPECT_LT (brightness (silentX, brightestRow), 0.1f);
        EXPECT_GT (brightness (x, brightestRow), 0.7f);
    }

    TEST_F (PlotFixture, NotesAreMarkedWhereTheyPlay)
    {
        const auto image = draw();
        const auto lane = RenderPlot::getLayout().notes;
        const auto y = lane.getCentreY();
        const auto differsFromLane = [&] (double seconds)
        {
            const auto x = (int) std::lround (RenderPlot::timeToX (seconds, 4.0));
            return image.getPixelAt (x, y) != image.getPixelAt (lane.getX() + 2, lane.getY() + 2);
        };

        EXPECT_FALSE (differsFromLane (0.6));
        EXPECT_TRUE (differsFromLane (1.05));
        EXPECT_TRUE (differsFromLane (2.0));
        EXPECT_TRUE (differsFromLane (2.95));
        EXPECT_FALSE (differsFromLane (3.6));
    }
}
