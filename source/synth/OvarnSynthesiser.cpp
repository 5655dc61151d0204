#include "OvarnSynthesiser.h"
#include <cmath>
#include "VoiceMath.h"

OvarnSynth::OvarnSynth (ParameterValues& v, juce::AudioBuffer<float>& input)
    : inputCopy (input), values (v)
{
    for (auto& wheel : lastWheelValues)
        wheel = 8192;

    voices.ensureStorageAllocated (VoiceBitSet::maxBits);
}

OvarnSynth::~OvarnSynth()
{
    const SynthLock::ScopedLockType sl (synthLock);
    sounds.clear();
    voices.clear();
}

int OvarnSynth::getPolyLimit() const noexcept
{
    const double poly = values.poly;
    if (! (poly > 0.0))
        return 0;
    return poly >= 1024.0 ? 1024 : static_cast<int> (poly);
}

bool OvarnSynth::appliesToChannel (OvarnSynthVoice* voice, int channel) const
{
    return voice->currentSound != nullptr && voice->currentSound->appliesToChannel (channel);
}

//==============================================================================
void OvarnSynth::renderNextBlock (juce::AudioBuffer<float>& output, const juce::MidiBuffer& midi,
                                  int startSample, int numSamples)
{
    const SynthLock::ScopedLockType sl (synthLock);

    auto event = midi.findNextSamplePosition (startSample);
    const auto end = midi.cend();

    while (numSamples > 0)
    {
        const bool useEvent = event != end && (*event).samplePosition < startSample + numSamples;
        const int n = useEvent ? (*event).samplePosition - startSample : numSamples;

        if (n > 0)
        {
            processBlock (output, startSample, n);

            for (int i = voices.size(); --i >= 0;)
                voices.getUnchecked (i)->renderNextBlock (output, startSample, n);
        }

        if (useEvent)
        {
            // only short messages carry anything played here; longer ones (system
            // exclusive) would make the message allocate
            if ((*event).numBytes <= 3)
                handleMidiEvent ((*event).getMessage());

            ++event;
        }

        startSample += n;
        numSamples -= n;
    }
}

void OvarnSynth::processBlock (juce::AudioBuffer<float>& output, int startSample, int numSamples)
{
    const double rate = synthRate > 0.0 ? synthRate : 44100.0;
    const double a = VoiceMath::onePole (values.attack, rate);
    const double r = VoiceMath::onePole (values.release, rate);
    const int numChannels = juce::jmin (output.getNumChannels(), inputCopy.getNumChannels(),
                                        CaptureBuffer::numChannels);

    for (int s = startSample; s < startSample + numSamples; ++s)
    {
        const bool silent = soundingVoices.isZero();
        const double target = silent ? 1.0 : 0.0;
        const double k = silent ? r : a;
        dryLevel = target * k + (1.0 - k) * dryLevel;

        const double curve = 1.0 - (1.0 - dryLevel) * (1.0 - dryLevel);
        // above wet 1 the gain would turn negative and invert the dry signal
        const double dryGain = juce::jlimit (0.0, 1.0, 2.0 - 2.0 * values.wet);

        for (int ch = numChannels; --ch >= 0;)
        {
            const float in = inputCopy.getSample (ch, s);
            capture.write (ch, in);
            output.addSample (ch, s, static_cast<float> (dryGain * static_cast<double> (in) * curve));
        }

        capture.advance();
    }
}

//==============================================================================
void OvarnSynth::startVoice (OvarnSynthVoice* voice, juce::SynthesiserSound* sound, int channel, int note, float velocity)
{
    if (voice == nullptr || sound == nullptr)
        return;

    if (voice->currentSound != nullptr && values.poly > 1.0)
        voice->stopNote (false);

    voice->startNote (note, velocity, sound, lastWheelValues[wheelSlot (channel)]);
    voice->currentNote = note;
    voice->noteOnStamp = ++noteOnCounter;
    voice->currentSound = sound;
    voice->keyDown = true;
    voice->sostenutoHeld = false;
}

OvarnSynthVoice* OvarnSynth::getVoice (int index) const
{
    const SynthLock::ScopedLockType sl (synthLock);
    return voices[index];
}

void OvarnSynth::clearVoices()
{
    const SynthLock::ScopedLockType sl (synthLock);

    voices.clearQuick();
    numVoices = 0;
    voicesCleared();
}

OvarnSynthVoice* OvarnSynth::addVoice (OvarnSynthVoice* newVoice)
{
    const SynthLock::ScopedLockType sl (synthLock);
    newVoice->playbackRate = synthRate;
    voices.add (newVoice);
    numVoices = voices.size();
    return newVoice;
}

void OvarnSynth::clearSounds()
{
    const SynthLock::ScopedLockType sl (synthLock);

    for (int i = sounds.size(); --i >= 0;)
        sounds.remove (i);
}

juce::SynthesiserSound* OvarnSynth::addSound (const juce::SynthesiserSound::Ptr& newSound)
{
    const SynthLock::ScopedLockType sl (synthLock);
    return sounds.add (newSound);
}

void OvarnSynth::setCurrentPlaybackSampleRate (double rate)
{
    if (rate == synthRate)
        return;

    const SynthLock::ScopedLockType sl (synthLock);
    allNotesOff (0, false);
    synthRate = rate;

    for (auto* voice : voices)
        voice->playbackRate = rate;
}

//==============================================================================
void OvarnSynth::noteOn (int channel, int note, float velocity)
{
    const SynthLock::ScopedLockType sl (synthLock);

    for (int si = sounds.size(); --si >= 0;)
    {
        auto* sound = sounds.getUnchecked (si).get();

        if (! (sound->appliesToNote (note) && sound->appliesToChannel (channel)))
            continue;

        int counted = 0;

        for (int i = voices.size(); --i >= 0;)
        {
            auto* voice = voices.getUnchecked (i);

            if (voice->currentNote == note && appliesToChannel (voice, channel)
                && voice->isPlayingQR() && voice->isGateOn())
                voice->stopNote (false);   // re-strike of a held note: hard stop

            if (voice->isPlayingQR())
                ++counted;
        }

        const int limit = getPolyLimit();

        if (counted >= limit && limit > 1)
            if (auto* oldest = findPlayingVoiceToSteal (sound))
                if (oldest->isGateOn())
                    oldest->stopNote (false);

        startVoice (findFreeVoice (sound, stealingEnabled), sound, channel, note, velocity);
    }
}

void OvarnSynth::noteOff (int channel, int note, bool allowTailOff)
{
    const SynthLock::ScopedLockType sl (synthLock);

    for (auto* voice : voices)
    {
        if (voice->currentNote != note || voice->currentSound == nullptr
            || ! voice->currentSound->appliesToNote (note) || ! voice->currentSound->appliesToChannel (channel))
            continue;

        voice->keyDown = false;

        if ((sustainPedals & channelBit (channel)) == 0 && ! voice->sostenutoHeld && voice->isGateOn())
            voice->stopNote (allowTailOff);
    }
}

void OvarnSynth::allNotesOff (int channel, bool allowTailOff)
{
    const SynthLock::ScopedLockType sl (synthLock);

    for (int i = voices.size(); --i >= 0;)
    {
        auto* voice = voices.getUnchecked (i);

        if (channel <= 0 || appliesToChannel (voice, channel))
            voice->stopNote (allowTailOff);
    }

    soundingVoices.clear();
    sustainPedals = 0;
}

void OvarnSynth::handlePitchWheel (int channel, int value)
{
    const SynthLock::ScopedLockType sl (synthLock);

    for (int i = voices.size(); --i >= 0;)
    {
        auto* voice = voices.getUnchecked (i);

        if (channel <= 0 || appliesToChannel (voice, channel))
            voice->pitchWheelMoved (value);
    }
}

void OvarnSynth::handleController (int channel, int controllerNumber, int value)
{
    switch (controllerNumber)
    {
        case 0x40: handleSustainPedal (channel, value >= 64); break;
        case 0x42: handleSostenutoPedal (channel, value >= 64); break;
        case 0x43: handleSoftPedal (channel, value >= 64); break;
        default: break;
    }

    const SynthLock::ScopedLockType sl (synthLock);

    for (int i = voices.size(); --i >= 0;)
    {
        auto* voice = voices.getUnchecked (i);

        if (channel <= 0 || appliesToChannel (voice, channel))
            voice->controllerMoved (controllerNumber, value);
    }
}

void OvarnSynth::handleAftertouch (int channel, int note, int value)
{
    const SynthLock::ScopedLockType sl (synthLock);

    for (int i = voices.size(); --i >= 0;)
    {
        auto* voice = voices.getUnchecked (i);

        if (voice->currentNote == note && (channel <= 0 || appliesToChannel (voice, channel)))
            voice->aftertouchChanged (value);
    }
}

void OvarnSynth::handleSustainPedal (int channel, bool isDown)
{
    const SynthLock::ScopedLockType sl (synthLock);

    if (isDown)
    {
        sustainPedals |= channelBit (channel);
        return;
    }

    for (int i = voices.size(); --i >= 0;)
    {
        auto* voice = voices.getUnchecked (i);

        if (appliesToChannel (voice, channel) && ! voice->keyDown && voice->isGateOn())
            voice->stopNote (true);
    }

    sustainPedals &= ~channelBit (channel);
}

void OvarnSynth::handleSostenutoPedal (int channel, bool isDown)
{
    const SynthLock::ScopedLockType sl (synthLock);

    for (int i = voices.size(); --i >= 0;)
    {
        auto* voice = voices.getUnchecked (i);

        if (! appliesToChannel (voice, channel))
            continue;

        if (isDown)
            voice->sostenutoHeld = true;
        else if (voice->sostenutoHeld && voice->isGateOn())
            voice->stopNote (true);
    }
}

//==============================================================================
OvarnSynthVoice* OvarnSynth::findFreeVoice (juce::SynthesiserSound* sound, bool stealIfNoneFree) const
{
    const SynthLock::ScopedLockType sl (synthLock);

    for (auto* voice : voices)
        if (voice->currentNote < 0 && voice->canPlaySound (sound))
            return voice;

    return stealIfNoneFree ? findVoiceToSteal (sound) : nullptr;
}

OvarnSynthVoice* OvarnSynth::findVoiceToSteal (juce::SynthesiserSound* sound) const
{
    OvarnSynthVoice* oldest = nullptr;

    for (auto* voice : voices)
        if (voice->canPlaySound (sound) && (oldest == nullptr || voice->noteOnStamp < oldest->noteOnStamp))
            oldest = voice;

    return oldest;
}

OvarnSynthVoice* OvarnSynth::findPlayingVoiceToSteal (juce::SynthesiserSound* sound) const
{
    OvarnSynthVoice* oldest = nullptr;

    for (auto* voice : voices)
        if (voice->canPlaySound (sound) && voice->isPlayingQR()
            && (oldest == nullptr || voice->noteOnStamp < oldest->noteOnStamp))
            oldest = voice;

    return oldest;
}

void OvarnSynth::handleMidiEvent (const juce::MidiMessage& m)
{
    const int channel = m.getChannel();

    if (m.isNoteOn())
        noteOn (channel, m.getNoteNumber(), m.getFloatVelocity());
    else if (m.isNoteOff())
        noteOff (channel, m.getNoteNumber(), true);
    else if (m.isAllNotesOff() || m.isAllSoundOff())
        allNotesOff (channel, true);
    else if (m.isPitchWheel())
    {
        const int wheel = m.getPitchWheelValue();
        lastWheelValues[wheelSlot (channel)] = wheel;
        handlePitchWheel (channel, wheel);
    }
    else if (m.isAftertouch())
        handleAftertouch (channel, m.getNoteNumber(), m.getAfterTouchValue());
    else if (m.isController())
        handleController (channel, m.getControllerNumber(), m.getControllerValue());
}
