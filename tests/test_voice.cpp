#include "VoiceRig.h"

using namespace testing_support;

namespace
{
    float rampSignal (long long frame, int channel)   { return (float) (frame % 100000) * (channel == 0 ? 1.0f : -1.0f); }

    /** Renders a held voice into a buffer of the given length (silence as live input). */
    std::vector<float> renderVoice (VoiceRig& rig, int frames, int channel = 0)
    {
        std::vector<float> out;
        juce::AudioBuffer<float> buffer (2, 512);

        for (int done = 0; done < frames; done += 512)
        {
            buffer.clear();
            rig.input.clear();
            rig.voice->renderNextBlock (buffer, 0, 512);
            for (int s = 0; s < 512 && done + s < frames; ++s)
                out.push_back (buffer.getSample (channel, s));
        }
        return out;
    }

    int risingZeroCrossings (const std::vector<float>& x, size_t from)
    {
        int count = 0;
        for (size_t i = from + 1; i < x.size(); ++i)
            if (x[i - 1] < 0.0f && x[i] >= 0.0f)
                ++count;
        return count;
    }

    float sine440 (long long frame, int)  { return (float) std::sin (2.0 * juce::MathConstants<double>::pi * 440.0 * (double) frame / 44100.0); }
}

TEST (FreezeVoice, LoopOfOnePeriodAtNote69)
{
    VoiceRig rig;
    rig.feed (5000, rampSignal);
    const int w = rig.captureRing.getWriteIndex();
    rig.voice->startNote (69, 1.0f, nullptr, 8192);
    auto& v = *rig.voice;

    EXPECT_DOUBLE_EQ (v.getNoteFreq(), 440.0 / 44100.0);
    EXPECT_NEAR (v.getLoopLength(), 100.2272727, 1e-6);
    EXPECT_NEAR (v.getPeriodFrac(), 0.2272727, 1e-6);
    EXPECT_NEAR (v.getReadOffset(), 4.5454545, 1e-6);
    EXPECT_EQ (v.getLoopFill(), 104);

    // loop: frames w-104 .. w+10; seam: the same window one loop (100 frames) earlier
    for (int j = 0; j <= 114; ++j)
    {
        EXPECT_EQ (v.getLoop (0)[j], rig.captureRing.getChannel (0)[CaptureBuffer::wrap (w - 104 + j)]) << j;
        EXPECT_EQ (v.getLoop (1)[j], rig.captureRing.getChannel (1)[CaptureBuffer::wrap (w - 104 + j)]) << j;
        EXPECT_EQ (v.getSeam (0)[j], rig.captureRing.getChannel (0)[CaptureBuffer::wrap (w - 204 + j)]) << j;
    }

    EXPECT_EQ (rig.published, v.getLoop (0));
    EXPECT_EQ (rig.publishedLength, 100);
    EXPECT_TRUE (rig.sounding[0]);
}

TEST (FreezeVoice, LoopWrapsAroundTheRingStart)
{
    VoiceRig rig;
    rig.feed (CaptureBuffer::numFrames + 30, rampSignal);     // write index 30: the loop starts at the ring's end
    ASSERT_EQ (rig.captureRing.getWriteIndex(), 30);
    rig.voice->startNote (69, 1.0f, nullptr, 8192);

    for (int j = 0; j < 104; ++j)   // the 104 newest frames, newest last
        EXPECT_EQ (rig.voice->getLoop (0)[j], rampSignal (rig.framesWritten - 104 + j, 0)) << j;
}

TEST (FreezeVoice, FormantStretchesTheLoopAndPitchTheRate)
{
    VoiceRig rig;
    rig.feed (5000, rampSignal);
    rig.values.formant = 0.5;
    rig.voice->startNote (69, 1.0f, nullptr, 8192);
    EXPECT_NEAR (rig.voice->getLoopLength(), 2 * 100.2272727, 1e-6);

    VoiceRig longest;
    longest.feed (5000, rampSignal);
    longest.values.formant = 2.0;     // beyond the range, as a preset may hold
    longest.values.pitch = -1.0;
    longest.voice->startNote (0, 1.0f, nullptr, 8192);      // far more than half the ring
    EXPECT_EQ (longest.voice->getLoopLength(), 220499.0);
}

TEST (FreezeVoice, OutputRepeatsAtThePlayedPitch)
{
    // a loop of a 440 Hz sine: at pitch 0 one period repeats 440 times a second; an octave
    // up half a period repeats 880 times; an octave down two periods repeat 220 times, so
    // the waveform still crosses zero 440 times
    const struct { double pitch; int cycles; } cases[] = { { 0.0, 440 }, { 0.5, 880 }, { -0.5, 440 } };

    for (const auto& c : cases)
    {
        VoiceRig rig;
        rig.values.wet = 1.0;
        rig.feed (44100, sine440);
        rig.values.pitch = c.pitch;
        rig.voice->startNote (69, 1.0f, nullptr, 8192);
        const auto out = renderVoice (rig, 44100 + 4410);

        // over one second after a tenth of a second of attack: the cycle count is the pitch
        EXPECT_NEAR (risingZeroCrossings (std::vector<float> (out.begin() + 4410, out.end()), 0), c.cycles, 1) << c.pitch;
        EXPECT_NEAR (rig.voice->getPlayFreq(), 440.0 / 44100.0 * std::pow (2.0, 2 * c.pitch), 1e-9);
    }
}

TEST (FreezeVoice, SeamCrossfadeHidesTheLoopJoin)
{
    // a sine that is not a whole number of cycles in the loop: the join is a step
    const auto signal = [] (long long frame, int) { return (float) std::sin ((double) frame * 0.37); };
    const auto largestStep = [&] (double smooth)
    {
        VoiceRig rig;
        rig.values.wet = 1.0;
        rig.values.smooth = smooth;
        rig.feed (10000, signal);
        rig.voice->startNote (69, 1.0f, nullptr, 8192);
        const auto out = renderVoice (rig, 8192);
        float step = 0.0f;
        for (size_t i = 2048; i < out.size(); ++i)
            step = std::max (step, std::abs (out[i] - out[i - 1]));
        return step;
    };

    EXPECT_LT (largestStep (0.1), 0.45f);     // the sine's own largest step is 0.36
    EXPECT_GT (largestStep (0.000001), 0.6f);
}

TEST (FreezeVoice, ReleaseFallsSilentAndFreesTheVoice)
{
    VoiceRig rig;
    rig.feed (5000, sine440);
    rig.voice->currentNote = 69;
    rig.voice->startNote (69, 1.0f, nullptr, 8192);
    renderVoice (rig, 2048);
    ASSERT_GT (rig.voice->getAmpLevel(), 0.99);

    rig.voice->stopNote (true);
    EXPECT_FALSE (rig.sounding[0]);
    EXPECT_TRUE (rig.voice->inRelease());
    EXPECT_TRUE (rig.voice->isPlayingQR());   // a tail-off still counts

    // release 2 ms: 1e-6 is reached after about 14 time constants (1200 samples)
    renderVoice (rig, 512);
    EXPECT_TRUE (rig.voice->isActive());
    renderVoice (rig, 1024);
    EXPECT_FALSE (rig.voice->isActive());
    EXPECT_EQ (rig.voice->currentNote, -1);
    EXPECT_EQ (rig.voice->getAmpLevel(), 0.0);
}

TEST (FreezeVoice, HardStopUsesTheFixedFade)
{
    VoiceRig rig;
    rig.values.release = 1.0;     // a long release is ignored by a hard stop
    rig.feed (5000, sine440);
    rig.voice->startNote (69, 1.0f, nullptr, 8192);
    renderVoice (rig, 2048);
    rig.voice->stopNote (false);

    EXPECT_DOUBLE_EQ (rig.voice->getReleaseCoef(), 0.001888);
    EXPECT_FALSE (rig.voice->isPlayingQR());
    const double before = rig.voice->getAmpLevel();
    renderVoice (rig, 1024);
    EXPECT_NEAR (rig.voice->getAmpLevel(), before * std::pow (1.0 - 0.001888, 1024), 1e-9);
}

TEST (FreezeVoice, PitchWheelBendsInOctaves)
{
    VoiceRig rig;
    const struct { int wheel; double bend; } cases[] = {
        { 8192, 0.0 }, { 16383, (16383.0 / 8192.0 - 1.0) * 2.0 / 12.0 }, { 0, -1.0 / 6.0 } };

    for (const auto& c : cases)
    {
        rig.voice->pitchWheelMoved (c.wheel);
        EXPECT_DOUBLE_EQ (rig.voice->getWheelBend(), c.bend) << c.wheel;
    }
}

TEST (FreezeVoice, NonFiniteInputNeverReachesTheOutput)
{
    VoiceRig rig;
    rig.values.wet = 1.0;
    rig.feed (5000, [] (long long frame, int) { return frame % 7 == 0 ? std::numeric_limits<float>::quiet_NaN()
                                                                     : (frame % 11 == 0 ? std::numeric_limits<float>::infinity() : 0.5f); });
    rig.voice->startNote (60, 1.0f, nullptr, 8192);

    for (float x : renderVoice (rig, 4096))
        ASSERT_TRUE (std::isfinite (x));
}

TEST (FreezeVoice, ReadsStayInsideTheArraysForExtremeValues)
{
    // far beyond any normal setting: the phase and both reads must stay bounded
    const struct { double pitch, formant, lfoDepth, smooth; int note; } cases[] = {
        { 1.0, -1.0, 1.0, 0.1, 127 },      // several cycles per sample
        { -1.0, 1.0, 1.0, 0.1, 0 },        // the longest loop, read at its slowest
        { 1e30, 1e30, 0.0, 0.0, 127 },
        { -1e30, -1e30, 0.0, -1.0, 0 },
    };

    for (const auto& c : cases)
    {
        VoiceRig rig;
        rig.values.wet = 1.0;
        rig.values.lfosync = 0.0;
        rig.values.lforate = 1.0;
        rig.values.lfofade = 0.00001;
        rig.feed (5000, sine440);
        rig.voice->startNote (c.note, 1.0f, nullptr, 8192);
        rig.values.pitch = c.pitch;
        rig.values.formant = c.formant;
        rig.values.pitchlfo = c.lfoDepth;
        rig.values.formantlfo = c.lfoDepth;
        rig.values.smooth = c.smooth;

        for (float x : renderVoice (rig, 44100))
            ASSERT_TRUE (std::isfinite (x));

        EXPECT_GE (rig.voice->getGrainPhase(), 0.0);
        EXPECT_LE (rig.voice->getGrainPhase(), 1.0);
    }
}
