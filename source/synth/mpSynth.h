#pragma once

#include "OvarnSynthesiser.h"
#include "MidiCCListener.h"

/** A voice that can also take the single-voice note-off of the mono and legato modes. */
class MPSynthVoice : public OvarnSynthVoice
{
public:
    using OvarnSynthVoice::stopNote;
    /** Removes a note from the held-note stack; closes the gate when none is left. */
    virtual void stopNote (int note, bool allowTailOff) = 0;
};

/** Chooses, for every note, between the polyphonic path and the single voice
    of the "Mono" and "Legato" modes, and forwards every controller to the
    registered listeners. */
class MPSynth : public OvarnSynth
{
public:
    MPSynth (ParameterValues& values, juce::AudioBuffer<float>& inputCopy, bool& polyMode);

    void addMidiCCListener (MidiCCListener* listener)   { ccListeners.add (listener); }

    void noteOn (int channel, int note, float velocity) override;
    void noteOff (int channel, int note, bool allowTailOff) override;
    void allNotesOff (int channel, bool allowTailOff) override;
    void handlePitchWheel (int channel, int value) override;
    void handleController (int channel, int controllerNumber, int value) override;

    OvarnSynthVoice* getMonoVoice() const noexcept      { return monoVoice; }

protected:
    void voicesCleared() override                       { monoVoice = nullptr; }

private:
    juce::Array<MidiCCListener*> ccListeners;
    bool& polyMode;
    OvarnSynthVoice* monoVoice = nullptr;
};
