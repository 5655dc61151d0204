#pragma once

#include <limits>
#include <vector>
#include "mpSynth.h"
#include "SynthHost.h"
#include "VoiceMath.h"
#include "ZeroedStorage.h"

/** Everything a freeze voice reads from its owner, by reference. */
struct VoiceContext
{
    SynthHost& host;
    const ParameterValues& values;
    const PlayState& play;
    const juce::AudioBuffer<float>& inputCopy;
    const CaptureBuffer& capture;
    VoiceBitSet& soundingVoices;
};

/** The freeze voice: on a fresh note it copies one period of the most recent
    input out of the capture ring and sustains it at the note's pitch, with the
    formant set by how fast each cycle reads through the audio. */
class OvarnVoice : public MPSynthVoice
{
public:
    /** Frames in each loop array. */
    static constexpr int loopFrames = CaptureBuffer::numFrames;
    /** The longest loop: half the ring less one frame. */
    static constexpr double maxLoopLength = CaptureBuffer::numFrames * 0.5 - 1.0;
    /** Frames in each seam array: a loop window never reaches past index F + 14. */
    static constexpr int seamFrames = static_cast<int> (maxLoopLength) + 15;

    OvarnVoice (const VoiceContext& context, int voiceIndex, int poly);

    void samplerateChangeCallback();

    /** Back to the state of a newly built voice for a poly value. The loop storage
        keeps its old contents: no read ever reaches a frame the next note has not written. */
    void reset (int poly);

    bool canPlaySound (juce::SynthesiserSound*) override;
    bool inRelease() override                   { return active && gate == 0.0; }
    bool isPlayingQR() override                 { return playingQR; }
    void setGlidef (double x) override          { glideFreq = x; }
    double getGlidef() override                 { return glideFreq; }
    void clearNotes() override;
    void startNote (int note, float velocity, juce::SynthesiserSound*, int pitchWheelPosition) override;
    void stopNote (bool allowTailOff) override;
    void stopNote (int note, bool allowTailOff) override;
    void pitchWheelMoved (int value) override;
    void controllerMoved (int, int) override    {}
    void renderNextBlock (juce::AudioBuffer<float>& output, int startSample, int numSamples) override;
    bool isGateOn() override                    { return gate != 0.0; }

    /** One LFO step; rate is the smoothed lforate, fadeIncrement the per-sample fade-in step. */
    double lfo (double rate, double shape, double fadeIncrement);

    /** The envelope's per-sample increments and curve, as the parameters stand now. */
    struct EnvelopeRates { double delayStep, decayStep, curve; };
    EnvelopeRates envelopeRates() const;

    /** One step of the pitch/formant envelope: the shape, 0 to 1. */
    double envelopeStep (const EnvelopeRates& rates);
    double envelopeStep()                       { return envelopeStep (envelopeRates()); }

    /** Read-only views for tests and the loop display. */
    const float* getLoop (int channel) const noexcept   { return channel == 0 ? loopL.get() : loopR.get(); }
    const float* getSeam (int channel) const noexcept   { return channel == 0 ? seamL.get() : seamR.get(); }
    double getLoopLength() const noexcept       { return loopLength; }
    double getReadOffset() const noexcept       { return readOffset; }
    double getPeriodFrac() const noexcept       { return periodFrac; }
    double getNoteFreq() const noexcept         { return noteFreq; }
    double getPlayFreq() const noexcept         { return playFreq; }
    double getAmpLevel() const noexcept         { return ampLevel; }
    double getGrainPhase() const noexcept       { return grainPhase; }
    double getLfoPhase() const noexcept         { return lfoPhase; }
    double getWheelBend() const noexcept        { return wheelBend; }
    double getReleaseCoef() const noexcept      { return releaseCoef; }
    int getLoopFill() const noexcept            { return loopFill; }
    bool isActive() const noexcept              { return active; }
    const std::vector<int>& getNoteStack() const noexcept { return noteStack; }

private:
    void makeLoop();
    void forgetCachedRatios();
    void lockLfoToHostPosition();
    double noteFrequency (int note) const;

    SynthHost& host;
    const ParameterValues& values;
    const PlayState& play;
    const juce::AudioBuffer<float>& inputCopy;
    const CaptureBuffer& capture;
    VoiceBitSet& soundingVoices;

    std::vector<int> noteStack;
    const int voiceIndex;
    int voicePoly;
    bool active = false;
    bool playingQR = false;

    static constexpr double syncRates[27] = {
        0.03125, 0.0625, 1.0 / 12.0, 0.125, 1.0 / 6.0, 0.25, 1.0 / 3.0, 0.5, 1.0, 1.5, 4.0 / 3.0, 2.0, 3.0,
        8.0 / 3.0, 4.0, 6.0, 16.0 / 3.0, 8.0, 12.0, 32.0 / 3.0, 16.0, 24.0, 64.0 / 3.0, 32.0, 48.0, 128.0 / 3.0, 64.0
    };

    int loopFill = 0;
    static constexpr int lastFrame = loopFrames - 1;
    static constexpr double lastFrameD = lastFrame;

    // float storage holds every input sample exactly; untouched pages stay unmapped
    ZeroedStorage<float> loopL, loopR, seamL, seamR;

    double glideFreq = 0.0;
    double ampLevel = 0.0;
    double attackCoef = 0.0, releaseCoef = 0.0;
    VoiceMath::Noise noise;
    double lfoPhase = 0.0, lfoPrevPhase = 0.0, lfoFade = 0.0, lfoHeld = 0.0, lfoOut = 0.0;
    double envDelayRamp = 0.0, envDecayRamp = 0.0;
    // 2^x of the last exponents and the read span from them; NaN keys force a recomputation
    double cachedPitchExponent = std::numeric_limits<double>::quiet_NaN(), cachedPitchRatio = 1.0;
    double cachedFormantExponent = std::numeric_limits<double>::quiet_NaN(),
           cachedSpanPitchRatio = std::numeric_limits<double>::quiet_NaN(), cachedSpan = 0.0;
    int syncIndex = -1;                                   // the synchronised LFO increment, cached
    double syncBars = 0.0, syncVoiceRate = 0.0, syncIncrement = 0.0;
    double gate = 0.0;
    double noteFreq = 1e-6;
    double voiceRate = 44100.0;
    double fiveSeconds = 5.0 * 44100.0;
    double loopLength = CaptureBuffer::numFrames;
    double grainPhase = 0.0;
    double playFreq = 1e-6;
    double formantRatio0 = 1.0, pitchRatio0 = 1.0;
    double wheelBend = 0.0;
    double periodFrac = 0.0, readOffset = 0.0;
    double pitchS = 0.0, formantS = 0.0, wetS = 0.0, smoothS = 0.0, lforateS = 0.0, pitchlfoS = 0.0,
           formantlfoS = 0.0, pitchenvS = 0.0, formantenvS = 0.0, wheelS = 0.0, modWheelS = 0.0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OvarnVoice)
};
