#include "mpSynth.h"

MPSynth::MPSynth (ParameterValues& v, juce::AudioBuffer<float>& input, bool& mode)
    : OvarnSynth (v, input), polyMode (mode)
{
}

void MPSynth::noteOn (int channel, int note, float velocity)
{
    if (polyMode)
    {
        OvarnSynth::noteOn (channel, note, velocity);
        return;
    }

    const SynthLock::ScopedLockType sl (synthLock);

    if (monoVoice == nullptr)
        monoVoice = voices.getFirst();

    if (monoVoice == nullptr)
        return;

    auto* sound = sounds.getFirst().get();

    if (monoVoice->inRelease())
    {
        // a releasing voice is cut short and another takes the note
        auto* next = findFreeVoice (sound, true);

        if (next == nullptr)
            return;

        monoVoice->stopNote (false);
        startVoice (next, sound, channel, note, velocity);

        if (values.poly == 1.0)
            next->setGlidef (monoVoice->getGlidef());

        monoVoice = next;
        return;
    }

    startVoice (monoVoice, sound, channel, note, velocity);
}

void MPSynth::noteOff (int channel, int note, bool allowTailOff)
{
    if (polyMode)
    {
        OvarnSynth::noteOff (channel, note, allowTailOff);
        return;
    }

    const SynthLock::ScopedLockType sl (synthLock);

    if (auto* voice = dynamic_cast<MPSynthVoice*> (monoVoice))
        voice->stopNote (note, allowTailOff);
}

void MPSynth::allNotesOff (int channel, bool allowTailOff)
{
    if (polyMode)
    {
        OvarnSynth::allNotesOff (channel, allowTailOff);
        return;
    }

    const SynthLock::ScopedLockType sl (synthLock);

    if (monoVoice != nullptr)
    {
        monoVoice->stopNote (allowTailOff);
        monoVoice->clearNotes();
        monoVoice = nullptr;
    }
}

void MPSynth::handlePitchWheel (int channel, int value)
{
    OvarnSynth::handlePitchWheel (channel, value);
}

void MPSynth::handleController (int channel, int controllerNumber, int value)
{
    OvarnSynth::handleController (channel, controllerNumber, value);

    for (int i = ccListeners.size(); --i >= 0;)
        ccListeners.getUnchecked (i)->handleController (channel, controllerNumber, value);
}
