#include "ovarnDSP.h"
#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
    constexpr double smoothKeep = 0.9995, smoothTake = 0.0005;
    constexpr double lfoKeep = 0.997, lfoTake = 0.003;
    constexpr double hardStopCoef = 0.001888;   // a fade of about 530 samples
    constexpr double silenceLevel = 1e-6;

    inline void smoothTowards (double& copy, double source) noexcept
    {
        copy = copy * smoothKeep + source * smoothTake;
    }
}

OvarnVoice::OvarnVoice (const VoiceContext& context, int index, int poly)
    : host (context.host), values (context.values), play (context.play),
      inputCopy (context.inputCopy), capture (context.capture), soundingVoices (context.soundingVoices),
      voiceIndex (index), voicePoly (poly),
      loopL (static_cast<size_t> (loopFrames)), loopR (static_cast<size_t> (loopFrames)),
      seamL (static_cast<size_t> (seamFrames)), seamR (static_cast<size_t> (seamFrames))
{
    noteStack.reserve (128);   // each note number is held at most once: no allocation while playing
    samplerateChangeCallback();
}

void OvarnVoice::reset (int poly)
{
    playbackRate = 44100.0;
    currentNote = -1;
    noteOnStamp = 0;
    currentSound = nullptr;
    keyDown = sostenutoHeld = false;

    noteStack.clear();
    voicePoly = poly;
    active = playingQR = false;
    loopFill = 0;
    glideFreq = ampLevel = attackCoef = releaseCoef = 0.0;
    noise = {};
    lfoPhase = lfoPrevPhase = lfoFade = lfoHeld = lfoOut = 0.0;
    envDelayRamp = envDecayRamp = gate = 0.0;
    noteFreq = playFreq = 1e-6;
    loopLength = CaptureBuffer::numFrames;
    grainPhase = wheelBend = periodFrac = readOffset = 0.0;
    formantRatio0 = pitchRatio0 = 1.0;
    pitchS = formantS = wetS = smoothS = lforateS = pitchlfoS = formantlfoS = pitchenvS = formantenvS
        = wheelS = modWheelS = 0.0;
    forgetCachedRatios();
    samplerateChangeCallback();
}

void OvarnVoice::forgetCachedRatios()
{
    cachedPitchExponent = cachedFormantExponent = cachedSpanPitchRatio = std::numeric_limits<double>::quiet_NaN();
}

void OvarnVoice::samplerateChangeCallback()
{
    voiceRate = host.getCurrentSamplerate();
    fiveSeconds = std::max (5.0 * voiceRate, 1.0);
}

bool OvarnVoice::canPlaySound (juce::SynthesiserSound* sound)
{
    return dynamic_cast<noSound*> (sound) != nullptr;
}

void OvarnVoice::clearNotes()
{
    noteStack.clear();
}

double OvarnVoice::noteFrequency (int note) const
{
    return juce::MidiMessage::getMidiNoteInHertz (note) / voiceRate;
}

//==============================================================================
void OvarnVoice::startNote (int note, float, juce::SynthesiserSound*, int pitchWheelPosition)
{
    active = true;
    playingQR = true;
    noteFreq = noteFrequency (note);

    if (noteStack.empty() || voicePoly >= 2)
    {
        pitchS = values.pitch;
        wetS = std::min (1.0, 2.0 * values.wet);
        smoothS = values.smooth;
        formantS = values.formant;
        lforateS = values.lforate;
        pitchlfoS = values.pitchlfo;
        formantlfoS = values.formantlfo;
        pitchenvS = values.pitchenv;
        formantenvS = values.formantenv;

        pitchWheelMoved (pitchWheelPosition);
        wheelS = wheelBend;
        modWheelS = play.modWheel;

        formantRatio0 = VoiceMath::exp2 (2.0 * formantS);
        pitchRatio0 = VoiceMath::exp2 (2.0 * pitchS + wheelS);
        const double f0 = pitchRatio0 * noteFreq;

        if (values.lforetrig == 1.0)
        {
            lfoPhase = -1.0;
            lfoOut = 0.0;
        }

        gate = 1.0;
        soundingVoices.setBit (voiceIndex);

        attackCoef = VoiceMath::onePole (values.attack, voiceRate);
        releaseCoef = VoiceMath::onePole (values.release, voiceRate);
        grainPhase = 0.0;

        const double period = formantRatio0 / f0;
        loopLength = period >= 0.0 ? std::min (maxLoopLength, period) : 0.0;   // NaN gives 0

        const double cycles = 1.0 / f0;
        periodFrac = std::isfinite (cycles) ? cycles - std::trunc (cycles) : 0.0;
        readOffset = (1.0 - periodFrac) * 2.0 + 3.0;

        makeLoop();
        forgetCachedRatios();

        lfoFade = -1.0;
        envDelayRamp = 0.0;
        envDecayRamp = 0.0;

        if (voicePoly == 0 || glideFreq == 0.0)
            glideFreq = noteFreq;
    }

    noteStack.erase (std::remove (noteStack.begin(), noteStack.end(), note), noteStack.end());
    noteStack.push_back (note);
}

void OvarnVoice::makeLoop()
{
    const int frames = static_cast<int> (loopLength);
    const int w = capture.getWriteIndex();
    const float* in0 = capture.getChannel (0);
    const float* in1 = capture.getChannel (1);

    int loopFrame = CaptureBuffer::wrap (w - frames - 4);
    int seamFrame = CaptureBuffer::wrap (w - 2 * frames - 4);

    for (int j = 0; j <= frames + 14; ++j)
    {
        loopL[j] = in0[loopFrame];
        loopR[j] = in1[loopFrame];
        seamL[j] = in0[seamFrame];
        seamR[j] = in1[seamFrame];

        if (++loopFrame == CaptureBuffer::numFrames) loopFrame = 0;
        if (++seamFrame == CaptureBuffer::numFrames) seamFrame = 0;
    }

    loopFill = frames + 4;
    host.setSamples (loopL.get(), frames);
}

void OvarnVoice::stopNote (bool allowTailOff)
{
    if (! allowTailOff)
    {
        releaseCoef = hardStopCoef;
        playingQR = false;
    }

    gate = 0.0;
    soundingVoices.clearBit (voiceIndex);
}

void OvarnVoice::stopNote (int note, bool allowTailOff)
{
    const auto found = std::find (noteStack.begin(), noteStack.end(), note);

    if (found != noteStack.end())
        noteStack.erase (found);

    if (noteStack.empty())
        stopNote (allowTailOff);
    else
        noteFreq = noteFrequency (noteStack.back());   // last-note priority: glide back
}

void OvarnVoice::pitchWheelMoved (int value)
{
    const double b = 2.0 * (value / 8192.0 - 1.0);
    wheelBend = b > 0.0 ? b * values.pitchwup : b * values.pitchwdn;
}

//==============================================================================
double OvarnVoice::lfo (double rate, double shape, double fadeIncrement)
{
    double g;

    if (values.lfosync == 1.0)
    {
        // the synchronised increment changes only with the rate's table entry and the tempo
        const int index = VoiceMath::tableIndex (rate, 26.0, 27);
        const double bars = play.barsPerSecond;

        if (index != syncIndex || bars != syncBars || voiceRate != syncVoiceRate)
        {
            syncIndex = index;
            syncBars = bars;
            syncVoiceRate = voiceRate;
            syncIncrement = bars * syncRates[index] / voiceRate * 2.0;
        }

        g = syncIncrement;
    }
    else
        g = rate * rate * rate * rate * 0.01;

    if (1.0 - g < lfoPhase)
        lfoPhase = lfoPhase + g - 2.0;
    else
        lfoPhase = lfoPhase + g;

    if (! std::isfinite (lfoPhase))   // a non-finite tempo or rate must not stick
        lfoPhase = -1.0;

    const double k = -lfoPhase;
    const double s = k < 0.0 ? -1.0 : 1.0;

    const double shapeTimesSix = shape * 6.0;
    const int n = shapeTimesSix >= 5.0 ? 5 : (shapeTimesSix > -1.0 ? static_cast<int> (shapeTimesSix) : -1);

    lfoFade = lfoFade < 1.0 ? lfoFade + fadeIncrement : 1.0;
    if (! std::isfinite (lfoFade))   // a zero fade time: full depth at once
        lfoFade = 1.0;
    const double fadeRoot = std::max (0.0, lfoFade);
    const double fadeGain = fadeRoot * fadeRoot;

    switch (n)
    {
        case 0:  lfoOut = VoiceMath::lfoSine (k, s) * lfoTake + lfoOut * lfoKeep; break;
        case 2:  lfoOut = k * lfoTake + lfoOut * lfoKeep; break;
        case 3:  lfoOut = s * lfoTake + lfoOut * lfoKeep; break;
        case 4:
        case 5:
        {
            const double v = lfoPhase > lfoPrevPhase ? lfoHeld : noise.next();
            lfoHeld = v;
            lfoOut = n == 4 ? v * lfoTake + lfoOut * lfoKeep
                            : g * v + (1.0 - g) * lfoOut;
            break;
        }
        default: lfoOut = (2.0 * std::abs (k) - 1.0) * lfoTake + lfoOut * lfoKeep; break;
    }

    if (! std::isfinite (lfoOut))
        lfoOut = 0.0;

    lfoPrevPhase = lfoPhase;
    return fadeGain * lfoOut;
}

void OvarnVoice::lockLfoToHostPosition()
{
    if (values.lfosync == 0.0 || values.lforetrig != 0.0 || ! play.hasPpqPosition)
        return;

    const double d = syncRates[VoiceMath::tableIndex (lforateS, 26.0, 27)] * play.ppqPosition * 0.25;

    if (std::isfinite (d))
        lfoPhase = (d - std::trunc (d)) * 2.0 - 1.0;
}

OvarnVoice::EnvelopeRates OvarnVoice::envelopeRates() const
{
    return { 1.0 / (values.envdelay * fiveSeconds), 1.0 / (fiveSeconds * values.envdecay), values.envcurve };
}

double OvarnVoice::envelopeStep (const EnvelopeRates& rates)
{
    envDelayRamp = envDelayRamp < 1.0 ? envDelayRamp + rates.delayStep : 1.0;
    const double ready = envDelayRamp == 1.0 ? 1.0 : 0.0;
    envDecayRamp = (envDecayRamp < 1.0 ? envDecayRamp + rates.decayStep : 1.0) * ready;

    // a zero, negative or non-finite time must not leave a ramp stuck outside 0..1
    if (! (envDelayRamp >= 0.0)) envDelayRamp = 1.0;
    if (! (envDecayRamp >= 0.0)) envDecayRamp = ready;

    const double curve = rates.curve;
    const double r2 = envDecayRamp * envDecayRamp;
    return (1.0 - curve) * envDecayRamp + curve * r2 * r2;
}

//==============================================================================
void OvarnVoice::renderNextBlock (juce::AudioBuffer<float>& output, int startSample, int numSamples)
{
    if (! active)
        return;

    lockLfoToHostPosition();

    const double gc = VoiceMath::onePole (values.glide, voiceRate);
    const int numChannels = std::min ({ output.getNumChannels(), inputCopy.getNumChannels(), 2 });
    float* const out[2] = { numChannels > 0 ? output.getWritePointer (0) : nullptr,
                            numChannels > 1 ? output.getWritePointer (1) : nullptr };
    const float* const in[2] = { numChannels > 0 ? inputCopy.getReadPointer (0) : nullptr,
                                 numChannels > 1 ? inputCopy.getReadPointer (1) : nullptr };
    float* const loop[2] = { loopL.get(), loopR.get() };
    const float* const seam[2] = { seamL.get(), seamR.get() };
    const double seamLimit = static_cast<int> (loopLength) + 14;

    // Parameters only change between stretches on this thread (a controller splits the
    // block there), so what the modulation reads each sample is taken once per stretch.
    const auto envelope = envelopeRates();
    const double fadeIncrement = 1.0 / (values.lfofade * fiveSeconds * 0.5);
    const double shape = values.lfoshape;
    const double m = play.modVibrato ? 1.0 : 0.0;
    const double pitch = values.pitch, wetTarget = std::min (1.0, 2.0 * values.wet), smooth = values.smooth,
                 formant = values.formant, lforate = values.lforate, pitchlfo = values.pitchlfo,
                 formantlfo = values.formantlfo, pitchenv = values.pitchenv, formantenv = values.formantenv,
                 modWheel = play.modWheel;

    for (int s = startSample; s < startSample + numSamples; ++s)
    {
        smoothTowards (pitchS, pitch);
        smoothTowards (wetS, wetTarget);
        smoothTowards (smoothS, smooth);
        smoothTowards (formantS, formant);
        smoothTowards (lforateS, lforate);
        smoothTowards (pitchlfoS, pitchlfo);
        smoothTowards (formantlfoS, formantlfo);
        smoothTowards (pitchenvS, pitchenv);
        smoothTowards (formantenvS, formantenv);
        smoothTowards (wheelS, wheelBend);
        smoothTowards (modWheelS, modWheel);

        const double lv = lfo (lforateS, shape, fadeIncrement);
        const double es = envelopeStep (envelope);
        const double ep = 2.0 * pitchS + wheelS + 2.0 * pitchlfoS * lv + m * modWheelS * lv + 2.0 * pitchenvS * es;
        const double ef = 2.0 * (formantS + formantenvS * es + formantlfoS * lv);

        // without modulation the exponents stay put for long stretches: keep what they gave
        if (ep != cachedPitchExponent)
        {
            cachedPitchExponent = ep;
            cachedPitchRatio = VoiceMath::exp2 (ep);
        }

        const double pm = cachedPitchRatio;
        glideFreq = glideFreq * (1.0 - gc) + noteFreq * gc;
        playFreq = glideFreq * pm;

        // the loop keeps recording what arrives after the note
        for (int c = numChannels; --c >= 0;)
            loop[c][loopFill] = in[c][s];

        if (loopFill < lastFrame)
            ++loopFill;

        const double k = gate == 1.0 ? attackCoef : releaseCoef;
        ampLevel = gate * k + (1.0 - k) * ampLevel;

        if (numChannels > 0)
        {
            const double amp = 1.0 - (1.0 - ampLevel) * (1.0 - ampLevel);
            if (ef != cachedFormantExponent || pm != cachedSpanPitchRatio)
            {
                cachedFormantExponent = ef;
                cachedSpanPitchRatio = pm;
                const double fm = VoiceMath::exp2 (ef);
                cachedSpan = std::min (lastFrameD, fm * loopLength / pm * pitchRatio0 / formantRatio0);
            }

            const double span = cachedSpan;
            // the crossfade weight is 0 for most of the cycle: no division there
            const double fadePart = grainPhase - (1.0 - smoothS);
            const double cw = fadePart > 0.0 ? std::min (1.0, std::max (0.0, fadePart / smoothS)) : 0.0;

            double p = std::min (grainPhase * span + periodFrac + readOffset, static_cast<double> (loopFill));
            if (! (p >= 3.0)) p = 3.0;   // NaN or a negative span
            const int i = static_cast<int> (p);
            const auto mainTaps = VoiceMath::Taps::at (p - i);

            // at the newest frame the weight of the unwritten tap is exactly 0: leave it unread
            const auto mainRead = [&] (int c)
            {
                const double a = i < loopFill ? mainTaps.apply (loop[c], i) : mainTaps.applyBelow (loop[c], i);
                return std::isfinite (a) ? a : 0.0;   // a non-finite captured sample never reaches the output
            };

            if (cw > 0.0)
            {
                double q = std::max (0.0, grainPhase * span - (span - loopLength)) + readOffset;
                if (! (q >= 3.0)) q = 3.0;
                if (q > seamLimit) q = seamLimit;
                const int j = static_cast<int> (q);
                const auto seamTaps = VoiceMath::Taps::at (q - j);

                for (int c = numChannels; --c >= 0;)
                {
                    const double a = mainRead (c);
                    double b = seamTaps.apply (seam[c], j);
                    if (! std::isfinite (b)) b = 0.0;

                    out[c][s] += static_cast<float> ((a * (1.0 - cw) + b * cw) * amp * wetS);
                }
            }
            else
            {
                // with no seam weight the blend is the main read alone (the seam's zero-weighted
                // term could only turn a zero's sign, which adding to the output cannot show)
                for (int c = numChannels; --c >= 0;)
                    out[c][s] += static_cast<float> (mainRead (c) * amp * wetS);
            }
        }

        if (1.0 - playFreq < grainPhase)
            grainPhase = grainPhase + playFreq - 1.0;
        else
            grainPhase = grainPhase + playFreq;

        // above one cycle per sample a single step does not bring the phase back
        if (! (grainPhase >= 0.0 && grainPhase <= 1.0))
        {
            grainPhase = std::isfinite (grainPhase) ? grainPhase - std::floor (grainPhase) : 0.0;
            if (grainPhase >= 1.0) grainPhase = 0.0;
        }
    }

    if (numChannels > 0)
        output.setNotClear();

    if (ampLevel <= silenceLevel)
    {
        ampLevel = 0.0;
        clearCurrentNote();
        active = false;
        playingQR = false;
    }
}
