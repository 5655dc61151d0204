#include "VoiceRig.h"

namespace
{
    /** Number of samples until the LFO phase wraps back, starting from a fresh note. */
    int samplesPerCycle (VoiceRig& rig, double rate)
    {
        double previous = rig.voice->getLfoPhase();
        for (int n = 1; n < 1000000; ++n)
        {
            rig.voice->lfo (rate, 0.0, 1.0);
            if (rig.voice->getLfoPhase() < previous)
                return n;
            previous = rig.voice->getLfoPhase();
        }
        return -1;
    }
}

TEST (Lfo, FreeRateOneCyclesEveryTwoHundredSamples)
{
    VoiceRig rig;
    rig.values.lfosync = 0.0;
    rig.voice->startNote (60, 1.0f, nullptr, 8192);
    EXPECT_EQ (rig.voice->getLfoPhase(), -1.0);
    EXPECT_EQ (samplesPerCycle (rig, 1.0), 200);
    EXPECT_EQ (samplesPerCycle (rig, 1.0), 200);
}

TEST (Lfo, SyncedRatesFollowTheTempo)
{
    VoiceRig rig;
    rig.values.lfosync = 1.0;
    rig.play.barsPerSecond = 0.5;                            // 120 beats per minute
    rig.voice->startNote (60, 1.0f, nullptr, 8192);

    // rate 0.5: index 13, "1/4 d", 8/3 cycles per whole note: 4/3 Hz
    EXPECT_NEAR (samplesPerCycle (rig, 0.5), 44100.0 * 3.0 / 4.0, 1.0);
    // rate 1: index 26, "1/64": 64 cycles per whole note, 32 Hz
    EXPECT_NEAR (samplesPerCycle (rig, 1.0), 44100.0 / 32.0, 1.0);
}

TEST (Lfo, PositionLockAlignsThePhaseAtEachBlock)
{
    const struct { double ppq; double rate; bool hasPosition; double expected; } cases[] = {
        { 6.0, 14.5 / 26.0, true, -1.0 },   // "1/4": 4 × 6 × 0.25 = 6 cycles
        { 6.5, 14.5 / 26.0, true, 0.0 },    // half a cycle on
        { 6.5, 14.5 / 26.0, false, 0.0 },   // no position: the free phase is kept
    };

    for (const auto& c : cases)
    {
        VoiceRig rig;
        rig.values.lfosync = 1.0;
        rig.values.lforetrig = 0.0;
        rig.values.lforate = c.rate;
        rig.voice->startNote (60, 1.0f, nullptr, 8192);
        rig.play.ppqPosition = c.ppq;
        rig.play.hasPpqPosition = c.hasPosition;

        // the lock runs at the block start, before the first LFO step
        rig.play.barsPerSecond = 0.0;   // no advance within the block
        juce::AudioBuffer<float> buffer (2, 1);
        buffer.clear();
        const double before = rig.voice->getLfoPhase();
        rig.voice->renderNextBlock (buffer, 0, 1);
        EXPECT_NEAR (rig.voice->getLfoPhase(), c.hasPosition ? c.expected : before, 1e-9) << c.ppq;
    }
}

TEST (Lfo, RandomAndSlewDrawFromTheNoiseRecurrence)
{
    // the first two values of the recurrence from its published seed
    const double first = -271733879.0 * 2.0 / 4294967295.0;    // 0xEFCDAB89 as signed
    const double second = 2018915345.0 * 2.0 / 4294967295.0;   // 0x78563411

    VoiceRig rig;
    rig.values.lfosync = 0.0;
    rig.voice->startNote (60, 1.0f, nullptr, 8192);
    const double fadeNone = 2.0;                                // full depth from the first step

    EXPECT_NEAR (rig.voice->lfo (1.0, 0.7, fadeNone), first * 0.003, 1e-15);

    // held until the cycle wraps, then the next value of the recurrence
    double out = first * 0.003;
    double held = first;
    int draws = 1;
    for (int n = 1; n < 450; ++n)
    {
        const double phaseBefore = rig.voice->getLfoPhase();
        const double value = rig.voice->lfo (1.0, 0.7, fadeNone);
        if (rig.voice->getLfoPhase() < phaseBefore)
        {
            held = draws == 1 ? second : held;
            ++draws;
        }
        out = held * 0.003 + out * 0.997;
        if (draws <= 2)
        {
            ASSERT_NEAR (value, out, 1e-12) << n;
        }
    }
    EXPECT_EQ (draws, 3);

    // slew moves towards the same values with the LFO's own increment
    VoiceRig slew;
    slew.values.lfosync = 0.0;
    slew.voice->startNote (60, 1.0f, nullptr, 8192);
    EXPECT_NEAR (slew.voice->lfo (1.0, 0.9, fadeNone), 0.01 * first, 1e-15);
}

TEST (Lfo, FadeInIsSilentThenRisesQuadratically)
{
    VoiceRig rig;
    rig.values.lfosync = 0.0;
    rig.voice->startNote (60, 1.0f, nullptr, 8192);
    const double increment = 1.0 / (0.2 * 5.0 * 44100.0 * 0.5);   // lfofade 0.2: 22050 samples a unit

    double gain = 0.0;
    for (int n = 1; n <= 44100; ++n)
    {
        const double out = rig.voice->lfo (0.3, 0.6, increment);   // a slow square: flat and never 0
        if (n == 22049)
        {
            EXPECT_EQ (out, 0.0);
        }
        if (n == 33075)
            gain = out;
    }
    // half-way through the rise the gain is a quarter
    EXPECT_NEAR (std::abs (gain), 0.25, 0.01);
    EXPECT_NEAR (std::abs (rig.voice->lfo (0.3, 0.6, increment)), 1.0, 0.01);
}

TEST (Envelope, DelayThenCurvedRise)
{
    const struct { double curve; double atHalfRise; } cases[] = { { 1.0, 0.0625 }, { 0.0, 0.5 }, { 0.5, 0.28125 } };

    for (const auto& c : cases)
    {
        VoiceRig rig;
        rig.values.envcurve = c.curve;
        rig.voice->startNote (60, 1.0f, nullptr, 8192);

        // defaults: 2 s of delay (88200 samples), then a 2.5 s ramp (110250 samples)
        double es = 0.0;
        for (int n = 1; n <= 88200; ++n)
            es = rig.voice->envelopeStep();
        EXPECT_EQ (es, 0.0);
        for (int n = 1; n <= 1 + 55125; ++n)
            es = rig.voice->envelopeStep();
        EXPECT_NEAR (es, c.atHalfRise, 1e-4) << c.curve;
        for (int n = 1; n <= 60000; ++n)
            es = rig.voice->envelopeStep();
        EXPECT_EQ (es, 1.0);
    }
}

TEST (Modulation, ModWheelAddsVibratoOnlyWhenSwitchedOn)
{
    const auto pitchSwing = [] (bool vibrato, double wheel)
    {
        VoiceRig rig;
        rig.values.lfosync = 0.0;
        rig.values.lforate = 0.5;
        rig.values.lfofade = 0.00001;
        rig.play.modVibrato = vibrato;
        rig.play.modWheel = wheel;
        rig.voice->startNote (69, 1.0f, nullptr, 8192);
        juce::AudioBuffer<float> buffer (2, 512);
        double lo = 1.0, hi = 0.0;
        for (int b = 0; b < 40; ++b)
        {
            buffer.clear();
            rig.voice->renderNextBlock (buffer, 0, 512);
            lo = std::min (lo, rig.voice->getPlayFreq());
            hi = std::max (hi, rig.voice->getPlayFreq());
        }
        return hi / lo;
    };

    EXPECT_NEAR (pitchSwing (true, 0.0), 1.0, 1e-9);
    EXPECT_NEAR (pitchSwing (false, 0.9), 1.0, 1e-9);
    EXPECT_GT (pitchSwing (true, 0.9), 1.5);                    // close to ±0.9 octave
}
