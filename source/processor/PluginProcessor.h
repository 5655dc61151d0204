#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <atomic>
#include "ParameterTable.h"
#include "synth/EngineValues.h"
#include "synth/MidiCCListener.h"
#include "synth/SynthHost.h"
#include "synth/mpSynth.h"
#include "PresetBank.h"

class OvarnVoice;

// Marks the audio callback for the real-time sanitizer: inside it nothing may
// allocate, lock or make a blocking call.
#if defined (__clang__) && defined (__has_cpp_attribute)
 #if __has_cpp_attribute (clang::nonblocking)
  #define OVARN_NONBLOCKING [[clang::nonblocking]]
 #endif
#endif
#ifndef OVARN_NONBLOCKING
 #define OVARN_NONBLOCKING
#endif

/** The host-facing processor: parameters, the block path with its MIDI delay,
    controller learning, sample hand-over to the editor, presets and state. */
class OvarnbAudioProcessor : public juce::AudioProcessor,
                             public MidiCCListener,
                             private juce::Timer,
                             public juce::ChangeBroadcaster,
                             public SynthHost
{
public:
    OvarnbAudioProcessor();
    ~OvarnbAudioProcessor() override;

    //==============================================================================
    // Block path
    void prepareToPlay (double sampleRate, int maximumBlockSize) override;
    void releaseResources() override {}
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) OVARN_NONBLOCKING override;
    using juce::AudioProcessor::processBlock;

    /** Splits the host's MIDI into what plays now (delayedMidi) and what falls into later blocks. */
    void midiDelay (const juce::MidiBuffer& midi, int numSamples);

    const juce::MidiBuffer& getDelayedMidi() const noexcept   { return delayedMidi; }
    const juce::MidiBuffer& getPendingMidi() const noexcept   { return pendingMidi; }

    /** Rebuilds the sound and the voices for a poly value (bounded to 0..32). */
    void setPoly (int poly);

    double getCurrentSamplerate() const override   { return currentSampleRate.load(); }

    //==============================================================================
    // Parameters, by host index; internal values live in getValues().
    int getNumParameters() override;
    const juce::String getParameterName (int index) override;
    float getParameter (int index) override;
    void setParameter (int index, float newValue) override;
    float getParameterDefaultValue (int index) override;
    const juce::String getParameterText (int index) override;
    bool isParameterAutomatable (int index) const override;

    using juce::AudioProcessor::getParameterName;
    using juce::AudioProcessor::getParameterText;

    /** The normalized value the host reads (0 outside the table). */
    float getNormalizedValue (int index) const;
    /** A normalized value as the host shows it: two decimals. */
    static juce::String formatNormalized (float normalizedValue);

    /** Internal value of a parameter by host index (0 outside the table). */
    double getInternalValue (int index) const;
    /** Writes an internal value directly, with no side effects (presets, state). */
    void setInternalValue (int index, double value);
    /** Recomputes the three pitch/formant link offsets from the current values. */
    void updateLinkOffsets();

    /** Host index of a key such as "pitch", or -1. */
    static int findParameterIndex (const juce::String& key);

    ParameterValues& getValues() noexcept        { return values; }
    PlayState& getPlayState() noexcept           { return playState; }
    MPSynth& getSynth() noexcept                 { return synth; }
    bool isPolyMode() const noexcept             { return polyMode; }

    //==============================================================================
    // Controller learning and mapping
    void handleController (int midiChannel, int controllerNumber, int controllerValue) override;
    void autoDetectMidiCC (int parameterIndex);
    void setMidiCC (int parameterIndex, int controllerNumber);
    int getMidiCC (int parameterIndex) const;
    /** The parameter bound to a controller, or -1. */
    int getControllerBinding (int controllerNumber) const;
    /** Writes one controller entry as read from a preset (out-of-table values unbind). */
    void setControllerBinding (int controllerNumber, int parameterIndex);
    int getLearnParameter() const noexcept       { return learnParameter.load(); }

    //==============================================================================
    // Notifications to an open editor
    void registerAsyncHandler (juce::AsyncUpdater* handler);
    void setSamples (const float* samples, int length) override;
    const std::atomic<const float*>& getSamples() const noexcept  { return samplesPointer; }
    const std::atomic<int>& getLength() const noexcept             { return samplesLength; }
    const VoiceBitSet& getGate() const noexcept      { return synth.soundingVoices; }
    /** Every 100 ms: delivers pending notices and, while no gate is open, the newest input. */
    void timerCallback() override;

    //==============================================================================
    // Identity and host answers
    const juce::String getName() const override      { return "Ovarn"; }
    bool acceptsMidi() const override                { return true; }
    bool producesMidi() const override               { return false; }
    bool isMidiEffect() const override               { return false; }
    double getTailLengthSeconds() const override     { return 0.0; }
    bool hasEditor() const override                  { return true; }
    juce::AudioProcessorEditor* createEditor() override;

    const juce::String getInputChannelName (int index) const override   { return juce::String (index + 1); }
    const juce::String getOutputChannelName (int index) const override  { return juce::String (index + 1); }
    bool isInputChannelStereoPair (int) const override                  { return true; }
    bool isOutputChannelStereoPair (int) const override                 { return true; }

    int getNumPrograms() override                                   { return 1; }
    int getCurrentProgram() override                                { return 0; }
    void setCurrentProgram (int) override                           {}
    const juce::String getProgramName (int) override                { return {}; }
    void changeProgramName (int, const juce::String&) override      {}

    //==============================================================================
    // Presets, banks and saved state (defined in ProcessorPresets.cpp)
    std::unique_ptr<juce::XmlElement> getPresetXML() const;
    void loadPresetXML (const juce::XmlElement* element);
    void getStateInformation (juce::MemoryBlock& destination) override;
    void setStateInformation (const void* data, int sizeInBytes) override;
    juce::XmlElement* getPresetList();
    void loadPreset (int index);
    void addPreset (const juce::String& name);
    void loadBank (const juce::File& file);
    juce::File getBankFile() const;
    void setModvib (bool shouldVibrato)              { playState.modVibrato = shouldVibrato; }
    bool getModvib() const                           { return playState.modVibrato; }

private:
    void addParam (SharedDouble& value, const ParameterRow& row);

    juce::AudioBuffer<float> inputCopy;
    bool wasPlaying = false;

    std::array<SharedDouble*, numParameters> parameterValues {};
    std::array<std::atomic<int>, numControllers> ccMap;
    std::atomic<int> learnParameter { -1 };
    std::array<double, numParameters> parameterStart {}, parameterSpan {}, parameterSkew {};
    juce::StringArray parameterNames;

    ParameterValues values;
    PlayState playState;
    SharedDouble formantOffset { 0.0 }, formantLfoOffset { 0.0 }, formantEnvOffset { 0.0 };
    bool polyMode = true;

    std::atomic<const float*> samplesPointer { nullptr };
    std::atomic<int> samplesLength { 0 };
    std::atomic<juce::AsyncUpdater*> asyncHandler { nullptr };
    std::atomic<bool> formantChangePending { false };
    std::atomic<bool> samplesPending { false };
    std::atomic<std::thread::id> processingThread {};   // the thread inside processBlock, if any

    std::atomic<double> currentSampleRate { 44100.0 };
    juce::SharedResourcePointer<PresetBank> presetBank;
    juce::MidiBuffer delayedMidi, pendingMidi;

    MPSynth synth;
    juce::SynthesiserSound::Ptr sound;
    std::vector<std::unique_ptr<OvarnVoice>> voicePool;   // every voice a poly value can ask for, built once

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OvarnbAudioProcessor)
};
