#include "PluginProcessor.h"
#include "OvarnParameter.h"
#include "editor/PluginEditor.h"
#include "synth/ovarnDSP.h"
#include <cmath>
#include <optional>

namespace
{
    constexpr int refreshPeriodMs = 100;
    constexpr int displayFrames = 512;
    constexpr int midiBufferBytes = 64 * 1024;
    constexpr int longestMidiDelay = 1 << 30;   // keeps event positions inside int

    bool isInTable (int index) noexcept   { return index >= 0 && index < numParameters; }
}

//==============================================================================
OvarnbAudioProcessor::OvarnbAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      synth (values, inputCopy, polyMode)
{
    for (auto& entry : ccMap)
        entry = -1;

    presetBank->resetToDefaultBankFile();

    static_assert (std::tuple_size_v<decltype (values.inHostOrder())> == numParameters);
    const auto members = values.inHostOrder();

    for (int i = 0; i < numParameters; ++i)
        addParam (*members[(size_t) i], parameterRows[(size_t) i]);

    synth.setNoteStealingEnabled (true);
    synth.addMidiCCListener (this);

    // Voices are built once for the largest poly value. Their storage comes untouched
    // from the system, so what no note reaches costs no memory, and a poly change (even
    // from a controller on the audio thread) never allocates.
    sound = new noSound();
    const VoiceContext context { *this, values, playState, inputCopy, synth.getCapture(), synth.soundingVoices };
    for (int i = 0; i < 2 * maxPoly; ++i)
        voicePool.push_back (std::make_unique<OvarnVoice> (context, i, 0));

    setPoly (static_cast<int> (values.poly.get()));

    delayedMidi.ensureSize (midiBufferBytes);
    pendingMidi.ensureSize (midiBufferBytes);

    startTimer (refreshPeriodMs);
}

OvarnbAudioProcessor::~OvarnbAudioProcessor()
{
    stopTimer();

    const OvarnSynth::SynthLock::ScopedLockType sl (synth.getLock());
    synth.clearVoices();
    synth.clearSounds();
}

void OvarnbAudioProcessor::addParam (SharedDouble& value, const ParameterRow& row)
{
    const auto i = (size_t) parameterNames.size();
    parameterValues[i] = &value;
    parameterStart[i] = row.atZero;
    parameterSpan[i] = row.atOne - row.atZero;
    parameterSkew[i] = row.skew;
    parameterNames.add (row.key);
    value = row.defaultValue;

    addParameter (new OvarnParameter (*this, (int) i, row.key));
}

//==============================================================================
// Parameters

int OvarnbAudioProcessor::getNumParameters()                     { return parameterNames.size(); }

const juce::String OvarnbAudioProcessor::getParameterName (int index)
{
    return isInTable (index) ? parameterNames[index] : juce::String();
}

float OvarnbAudioProcessor::getParameter (int index)             { return getNormalizedValue (index); }
float OvarnbAudioProcessor::getParameterDefaultValue (int index) { return getNormalizedValue (index); }

const juce::String OvarnbAudioProcessor::getParameterText (int index)
{
    return formatNormalized (getNormalizedValue (index));
}

bool OvarnbAudioProcessor::isParameterAutomatable (int index) const
{
    return index != ParameterIndex::poly;
}

juce::String OvarnbAudioProcessor::formatNormalized (float normalizedValue)
{
    return juce::String (normalizedValue, 2);
}

float OvarnbAudioProcessor::getNormalizedValue (int index) const
{
    if (! isInTable (index))
        return 0.0f;

    const auto i = (size_t) index;
    const double base = (parameterValues[i]->get() - parameterStart[i]) / parameterSpan[i];

    if (! (base > 0.0))   // below the range, or not a number
        return 0.0f;

    const double x = std::pow (base, parameterSkew[i]);
    return x > 1.0 ? 1.0f : static_cast<float> (x);
}

double OvarnbAudioProcessor::getInternalValue (int index) const
{
    return isInTable (index) ? parameterValues[(size_t) index]->get() : 0.0;
}

void OvarnbAudioProcessor::setInternalValue (int index, double value)
{
    if (isInTable (index) && std::isfinite (value))
        *parameterValues[(size_t) index] = value;
}

int OvarnbAudioProcessor::findParameterIndex (const juce::String& key)
{
    for (int i = 0; i < numParameters; ++i)
        if (key == parameterRows[(size_t) i].key)
            return i;

    return -1;
}

void OvarnbAudioProcessor::updateLinkOffsets()
{
    formantOffset = values.formant - values.pitch;
    formantLfoOffset = values.formantlfo - values.pitchlfo;
    formantEnvOffset = values.formantenv - values.pitchenv;
}

void OvarnbAudioProcessor::setParameter (int index, float newValue)
{
    // a value that is not a finite number would poison every voice that reads it
    if (! isInTable (index) || ! std::isfinite (newValue))
        return;

    const auto i = (size_t) index;
    *parameterValues[i] = parameterStart[i] + parameterSpan[i] * std::pow ((double) newValue, 1.0 / parameterSkew[i]);

    if (index == ParameterIndex::link)
        updateLinkOffsets();

    if (index == ParameterIndex::poly)
    {
        const float voices = newValue * 32.0f;
        setPoly (voices >= (float) maxPoly ? maxPoly : (voices > 0.0f ? static_cast<int> (voices) : 0));
    }

    if (values.link != 1.0)
        return;

    switch (index)
    {
        case ParameterIndex::pitch:
            values.formant = values.pitch + formantOffset;

            // posting a message takes locks, and this may run on the audio thread:
            // the timer sends the change message from the message thread
            formantChangePending = true;
            break;

        case ParameterIndex::formant:     formantOffset = values.formant - values.pitch; break;
        case ParameterIndex::pitchlfo:    values.formantlfo = values.pitchlfo + formantLfoOffset; break;
        case ParameterIndex::formantlfo:  formantLfoOffset = values.formantlfo - values.pitchlfo; break;
        case ParameterIndex::pitchenv:    values.formantenv = values.pitchenv + formantEnvOffset; break;
        case ParameterIndex::formantenv:  formantEnvOffset = values.formantenv - values.pitchenv; break;
        default: break;
    }
}

//==============================================================================
// Controllers

void OvarnbAudioProcessor::handleController (int, int controllerNumber, int controllerValue)
{
    if (controllerNumber < 0 || controllerNumber >= numControllers)
        return;

    const float normalized = (float) controllerValue * (1.0f / 128.0f);

    if (controllerNumber == 1)
        playState.modWheel = (double) normalized;

    const int learn = learnParameter.exchange (-1);

    if (learn >= 0)
    {
        for (auto& entry : ccMap)
            if (entry.load() == learn)
                entry = -1;

        ccMap[(size_t) controllerNumber] = learn;
    }

    const int bound = ccMap[(size_t) controllerNumber].load();

    if (bound != -1)
        setParameter (bound, normalized);
}

void OvarnbAudioProcessor::autoDetectMidiCC (int parameterIndex)
{
    learnParameter = parameterIndex;
}

void OvarnbAudioProcessor::setMidiCC (int parameterIndex, int controllerNumber)
{
    if (controllerNumber < 0 || controllerNumber >= numControllers)
        return;

    auto& entry = ccMap[(size_t) controllerNumber];

    if (entry.load() == parameterIndex)
    {
        entry = -1;   // choosing the current binding again removes it
        return;
    }

    for (auto& other : ccMap)
        if (other.load() == parameterIndex)
            other = -1;

    entry = parameterIndex;
}

int OvarnbAudioProcessor::getMidiCC (int parameterIndex) const
{
    for (int cc = 0; cc < numControllers; ++cc)
        if (ccMap[(size_t) cc].load() == parameterIndex)
            return cc;

    return -1;
}

int OvarnbAudioProcessor::getControllerBinding (int controllerNumber) const
{
    return controllerNumber >= 0 && controllerNumber < numControllers ? ccMap[(size_t) controllerNumber].load() : -1;
}

void OvarnbAudioProcessor::setControllerBinding (int controllerNumber, int parameterIndex)
{
    if (controllerNumber >= 0 && controllerNumber < numControllers)
        ccMap[(size_t) controllerNumber] = isInTable (parameterIndex) ? parameterIndex : -1;
}

//==============================================================================
// Block path

bool OvarnbAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto in = layouts.getMainInputChannelSet();
    const auto out = layouts.getMainOutputChannelSet();
    return in == out && (out == juce::AudioChannelSet::mono() || out == juce::AudioChannelSet::stereo());
}

void OvarnbAudioProcessor::prepareToPlay (double sampleRate, int maximumBlockSize)
{
    if (! (sampleRate > 0.0 && std::isfinite (sampleRate)))
        return;

    currentSampleRate = sampleRate;
    synth.setCurrentPlaybackSampleRate (sampleRate);

    for (int i = synth.getNumVoices(); --i >= 0;)
        if (auto* voice = dynamic_cast<OvarnVoice*> (synth.getVoice (i)))
            voice->samplerateChangeCallback();

    inputCopy.setSize (2, juce::jmax (maximumBlockSize, 1), false, false, true);
}

void OvarnbAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) OVARN_NONBLOCKING
{
    juce::ScopedNoDenormals noDenormals;

    // the host holds the callback lock around this call: a poly change from a
    // mapped controller must not take it again
    processingThread = std::this_thread::get_id();
    const juce::ScopeGuard leaving { [this] { processingThread = std::thread::id(); } };

    // a host without a play head or a position keeps the last tempo and playing state
    bool isPlaying = wasPlaying;
    playState.hasPpqPosition = false;

    if (auto* head = getPlayHead())
    {
        if (const auto position = head->getPosition())
        {
            if (const auto bpm = position->getBpm(); bpm.hasValue() && std::isfinite (*bpm))
                playState.barsPerSecond = *bpm / 240.0;

            if (const auto ppq = position->getPpqPosition(); ppq.hasValue() && std::isfinite (*ppq))
            {
                playState.ppqPosition = *ppq;
                playState.hasPpqPosition = true;
            }

            isPlaying = position->getIsPlaying();
        }
    }

    if (wasPlaying && ! isPlaying)
        synth.allNotesOff (0, true);

    wasPlaying = isPlaying;

    const int numSamples = buffer.getNumSamples();
    midiDelay (midi, numSamples);

    inputCopy.makeCopyOf (buffer, true);
    buffer.clear();
    synth.renderNextBlock (buffer, delayedMidi, 0, numSamples);

    // the plug-in produces no MIDI: whatever is left here some wrappers would send on
    midi.clear();
}

void OvarnbAudioProcessor::midiDelay (const juce::MidiBuffer& midi, int numSamples)
{
    delayedMidi.clear();
    delayedMidi.swapWith (pendingMidi);

    const double rate = getSampleRate() > 0.0 ? getSampleRate() : currentSampleRate.load();
    const double delayValue = values.mididelay;
    const double pitch = values.pitch;

    for (const auto event : midi)
    {
        const auto* data = event.data;
        const int status = event.numBytes > 0 ? (data[0] & 0xf0) : 0;
        const bool isNote = event.numBytes >= 3 && (status == 0x80 || status == 0x90);
        int d = 0;

        if (isNote)
        {
            const double f = juce::MidiMessage::getMidiNoteInHertz (data[1] & 0x7f);
            const double delay = delayValue == 1.0 ? rate / (f * std::pow (2.0, 4.0 * pitch))
                                                   : delayValue * rate;

            // a negative, huge or non-finite delay plays the note now or as late as positions allow
            d = delay > 0.0 ? (delay < (double) longestMidiDelay ? static_cast<int> (delay) : longestMidiDelay) : 0;
        }

        const int t = event.samplePosition + d;

        if (t < numSamples)
            delayedMidi.addEvent (data, event.numBytes, t);
        else
            pendingMidi.addEvent (data, event.numBytes, t - numSamples);
    }

    for (const auto event : delayedMidi)
        if (event.samplePosition >= numSamples)
            pendingMidi.addEvent (event.data, event.numBytes, event.samplePosition - numSamples);
}

void OvarnbAudioProcessor::setPoly (int poly)
{
    poly = juce::jlimit (0, maxPoly, poly);

    const bool fromAudioCallback = processingThread.load() == std::this_thread::get_id();
    std::optional<juce::ScopedLock> heldCallbackLock;

    if (! fromAudioCallback)
        heldCallbackLock.emplace (getCallbackLock());

    synth.allNotesOff (0, false);
    synth.clearVoices();

    // the one sound stays: removing and adding it again would reallocate the sound list
    if (synth.getNumSounds() != 1)
    {
        synth.clearSounds();
        synth.addSound (sound);
    }

    const int numVoices = juce::jmax (8, 2 * poly);

    for (int i = 0; i < numVoices; ++i)
    {
        auto& voice = *voicePool[(size_t) i];
        voice.reset (poly);
        synth.addVoice (&voice);
    }

    polyMode = poly > 1;
}

//==============================================================================
// Notifications

void OvarnbAudioProcessor::registerAsyncHandler (juce::AsyncUpdater* handler)
{
    asyncHandler = handler;
}

void OvarnbAudioProcessor::setSamples (const float* samples, int length)
{
    if (asyncHandler.load() == nullptr)
        return;

    samplesLength = length;
    samplesPointer = samples;
    // posting a message takes a lock: the timer delivers it from the message thread
    samplesPending = true;
}

void OvarnbAudioProcessor::timerCallback()
{
    if (formantChangePending.exchange (false))
        sendChangeMessage();

    auto* handler = asyncHandler.load();

    if (samplesPending.exchange (false) && handler != nullptr)
    {
        handler->triggerAsyncUpdate();
        return;
    }

    if (! synth.soundingVoices.isZero() || synth.getNumVoices() == 0 || handler == nullptr)
        return;

    // the newest frames, kept whole inside the ring
    const int start = juce::jmax (displayFrames,
                                  juce::jmin (synth.getCapture().getWriteIndex() - displayFrames,
                                              CaptureBuffer::numFrames - displayFrames));
    samplesLength = displayFrames;
    samplesPointer = synth.getCapture().getChannel (0) + start;
    handler->triggerAsyncUpdate();
}

juce::AudioProcessorEditor* OvarnbAudioProcessor::createEditor()
{
    return new OvarnbAudioProcessorEditor (*this);
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new OvarnbAudioProcessor();
}
