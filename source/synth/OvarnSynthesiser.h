#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <cstdint>
#include "CaptureBuffer.h"
#include "EngineValues.h"
#include "VoiceBitSet.h"
#include "ReentrantSpinLock.h"

/** The one sound: it applies to every note on every channel. */
class noSound : public juce::SynthesiserSound
{
public:
    bool appliesToNote (int) override      { return true; }
    bool appliesToChannel (int) override   { return true; }
};

/** The state the synthesiser keeps for each voice, and the calls it makes on it. */
class OvarnSynthVoice
{
public:
    virtual ~OvarnSynthVoice() = default;

    virtual bool canPlaySound (juce::SynthesiserSound*) = 0;
    /** Still sounding, but the gate is closed. */
    virtual bool inRelease() = 0;
    /** Counts against the polyphony limit. */
    virtual bool isPlayingQR() = 0;
    virtual void setGlidef (double) = 0;
    virtual double getGlidef() = 0;
    virtual void clearNotes() = 0;
    virtual void startNote (int note, float velocity, juce::SynthesiserSound*, int pitchWheelPosition) = 0;
    virtual void stopNote (bool allowTailOff) = 0;
    virtual void pitchWheelMoved (int value) = 0;
    virtual void controllerMoved (int controllerNumber, int value) = 0;
    virtual void aftertouchChanged (int) {}
    /** Adds the voice's output to samples [startSample, startSample + numSamples). */
    virtual void renderNextBlock (juce::AudioBuffer<float>& output, int startSample, int numSamples) = 0;
    virtual bool isGateOn() = 0;

    /** Frees the voice; called by the voice itself once it has fallen silent. */
    void clearCurrentNote()
    {
        currentNote = -1;
        currentSound = nullptr;
    }

    double playbackRate = 44100.0;
    int currentNote = -1;
    std::uint32_t noteOnStamp = 0;
    juce::SynthesiserSound::Ptr currentSound;
    bool keyDown = false;
    bool sostenutoHeld = false;
};

/** Plays MIDI on a set of voices, sample-accurately between events, and runs
    the capture and dry-signal pre-pass before the voices of every stretch. */
class OvarnSynth
{
public:
    OvarnSynth (ParameterValues& values, juce::AudioBuffer<float>& inputCopy);
    virtual ~OvarnSynth();

    void renderNextBlock (juce::AudioBuffer<float>& output, const juce::MidiBuffer& midi,
                          int startSample, int numSamples);

    /** Capture write and faded dry signal for one stretch. */
    void processBlock (juce::AudioBuffer<float>& output, int startSample, int numSamples);

    void startVoice (OvarnSynthVoice* voice, juce::SynthesiserSound* sound, int channel, int note, float velocity);

    OvarnSynthVoice* getVoice (int index) const;
    /** Safe to ask from any thread. */
    int getNumVoices() const noexcept                    { return numVoices.load (std::memory_order_relaxed); }
    /** Empties the voice list; the voices themselves belong to whoever added them. */
    void clearVoices();
    /** Appends a voice; up to 64 voices are added without allocating. */
    OvarnSynthVoice* addVoice (OvarnSynthVoice* newVoice);
    int getNumSounds() const noexcept                    { return sounds.size(); }
    void clearSounds();
    juce::SynthesiserSound* addSound (const juce::SynthesiserSound::Ptr& newSound);
    void setNoteStealingEnabled (bool shouldSteal)       { stealingEnabled = shouldSteal; }
    void setCurrentPlaybackSampleRate (double rate);
    double getSampleRate() const noexcept                { return synthRate; }

    virtual void noteOn (int channel, int note, float velocity);
    virtual void noteOff (int channel, int note, bool allowTailOff);
    virtual void allNotesOff (int channel, bool allowTailOff);
    virtual void handlePitchWheel (int channel, int value);
    virtual void handleController (int channel, int controllerNumber, int value);
    virtual void handleAftertouch (int channel, int note, int value);
    virtual void handleSustainPedal (int channel, bool isDown);
    virtual void handleSostenutoPedal (int channel, bool isDown);
    virtual void handleSoftPedal (int, bool) {}
    virtual OvarnSynthVoice* findFreeVoice (juce::SynthesiserSound*, bool stealIfNoneFree) const;
    virtual OvarnSynthVoice* findVoiceToSteal (juce::SynthesiserSound*) const;
    virtual OvarnSynthVoice* findPlayingVoiceToSteal (juce::SynthesiserSound*) const;
    virtual void handleMidiEvent (const juce::MidiMessage&);

    using SynthLock = ReentrantSpinLock;
    const SynthLock& getLock() const noexcept             { return synthLock; }
    CaptureBuffer& getCapture() noexcept                  { return capture; }
    double getDryLevel() const noexcept                   { return dryLevel; }

    /** Bit i is set while voice i has its gate open. */
    VoiceBitSet soundingVoices;

protected:
    /** Called under the lock after the voice list has been emptied. */
    virtual void voicesCleared() {}

    /** The polyphony limit: the poly value truncated, kept within what can exist. */
    int getPolyLimit() const noexcept;

    SynthLock synthLock;
    juce::Array<OvarnSynthVoice*> voices;   // not owned: the owner keeps its voices for its lifetime
    juce::ReferenceCountedArray<juce::SynthesiserSound> sounds;
    int lastWheelValues[16];
    CaptureBuffer capture;
    juce::AudioBuffer<float>& inputCopy;
    ParameterValues& values;
    double synthRate = 0.0;
    std::uint32_t noteOnCounter = 0;
    bool stealingEnabled = true;
    std::uint32_t sustainPedals = 0;   // bit n set while channel n's sustain pedal is down
    double dryLevel = 0.0;

private:
    std::atomic<int> numVoices { 0 };
    static int wheelSlot (int channel) noexcept   { return juce::jlimit (0, 15, channel - 1); }
    static std::uint32_t channelBit (int channel) noexcept { return std::uint32_t { 1 } << juce::jlimit (0, 31, channel); }
    bool appliesToChannel (OvarnSynthVoice* voice, int channel) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OvarnSynth)
};
