#include "ProcessorRender.h"
#include "RenderError.h"

#include <cmath>

namespace ProcessorRender
{

juce::Optional<juce::AudioPlayHead::PositionInfo> PlayHead::getPosition() const
{
    const auto seconds = (double) blockStart / sampleRate;
    const auto ppq = tempoMap.getPpqAt (seconds);

    PositionInfo info;
    info.setIsPlaying (true);
    info.setTimeInSamples (blockStart);
    info.setTimeInSeconds (seconds);
    info.setBpm (tempoMap.getBpmAt (seconds));
    info.setPpqPosition (ppq);
    info.setTimeSignature (TimeSignature { 4, 4 });
    info.setPpqPositionOfLastBarStart (std::floor (ppq / 4.0) * 4.0);
    return info;
}

void configureLayout (OvarnbAudioProcessor& processor, int numChannels, double sampleRate, int blockSize)
{
    if (numChannels != 1 && numChannels != 2)
        throw RenderError ("the input has " + juce::String (numChannels)
                           + " channels; only mono and stereo are supported");

    const auto set = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);

    if (! processor.setBusesLayout (layout)
        || processor.getTotalNumInputChannels() != numChannels
        || processor.getTotalNumOutputChannels() != numChannels)
        throw RenderError ("the processor does not accept " + juce::String (numChannels) + "-channel audio");

    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.setNonRealtime (true);
}

juce::int64 getRenderLength (int inputSamples, const EventSchedule& events, double tailSeconds, double sampleRate)
{
    return std::max ((juce::int64) inputSamples, events.getEndSample())
         + EventSchedule::secondsToSample (tailSeconds, sampleRate);
}

juce::AudioBuffer<float> render (OvarnbAudioProcessor& processor,
                                 const juce::AudioBuffer<float>& input,
                                 double sampleRate,
                                 const EventSchedule& events,
                                 const TempoMap& tempoMap,
                                 int blockSize,
                                 juce::int64 numSamples,
                                 const std::function<void (double)>& progress)
{
    const auto numChannels = input.getNumChannels();
    jassert (numChannels == processor.getTotalNumInputChannels());

    if (numSamples > std::numeric_limits<int>::max())
        throw RenderError ("the render would be too long (" + juce::String (numSamples) + " samples)");

    PlayHead playHead (tempoMap, sampleRate);
    processor.setPlayHead (&playHead);
    processor.prepareToPlay (sampleRate, blockSize);

    juce::AudioBuffer<float> output (numChannels, (int) numSamples);
    juce::AudioBuffer<float> block (numChannels, blockSize);
    juce::MidiBuffer midi;

    for (juce::int64 start = 0; start < numSamples; start += blockSize)
    {
        const auto n = (int) std::min ((juce::int64) blockSize, numSamples - start);
        juce::AudioBuffer<float> view (block.getArrayOfWritePointers(), numChannels, n);

        for (int ch = 0; ch < numChannels; ++ch)
        {
            const auto available = juce::jlimit (0, n, input.getNumSamples() - (int) start);
            view.clear (ch, 0, n);

            if (available > 0)
                view.copyFrom (ch, 0, input, ch, (int) start, available);
        }

        midi.clear();
        events.fillBlock (midi, start, n);
        playHead.setBlockStart (start);

        {
            const juce::ScopedLock lock (processor.getCallbackLock());
            processor.processBlock (view, midi);
        }

        for (int ch = 0; ch < numChannels; ++ch)
            output.copyFrom (ch, (int) start, view, ch, 0, n);

        if (progress)
            progress ((double) (start + n) / (double) numSamples);
    }

    processor.releaseResources();
    processor.setPlayHead (nullptr);
    return output;
}

} // namespace ProcessorRender

namespace ProcessorSound
{

juce::StringArray getPresetNames (OvarnbAudioProcessor& processor)
{
    juce::StringArray names;

    if (auto* bank = processor.getPresetList())
        for (auto* preset : bank->getChildIterator())
            names.add (preset->getStringAttribute ("name"));

    return names;
}

void loadPresetByName (OvarnbAudioProcessor& processor, const juce::String& name)
{
    const auto names = getPresetNames (processor);
    auto index = names.indexOf (name, false);

    if (index < 0)
        index = names.indexOf (name, true);

    if (index < 0)
        throw RenderError ("unknown preset '" + name + "'; presets: "
                           + (names.isEmpty() ? juce::String ("(none)") : names.joinIntoString (", ")),
                           RenderExit::usage);

    processor.loadPreset (index);
}

void loadState (OvarnbAudioProcessor& processor, const juce::MemoryBlock& data, const juce::String& sourceName)
{
    const auto notAState = [&sourceName] { return RenderError ("'" + sourceName + "' is not an Ovarn saved state"); };

    if (auto xml = juce::AudioProcessor::getXmlFromBinary (data.getData(), (int) data.getSize()))
    {
        if (! xml->hasTagName ("Ovarn"))
            throw notAState();

        processor.setStateInformation (data.getData(), (int) data.getSize());
        return;
    }

    // The same element as plain XML text, e.g. a preset copied out of a bank file.
    const auto xml = juce::parseXML (data.toString());

    if (xml == nullptr || ! xml->hasTagName ("Ovarn"))
        throw notAState();

    juce::MemoryBlock state;
    juce::AudioProcessor::copyXmlToBinary (*xml, state);
    processor.setStateInformation (state.getData(), (int) state.getSize());
}

void applyOverrides (OvarnbAudioProcessor& processor, const std::vector<ParameterOverride>& overrides)
{
    for (const auto& o : overrides)
    {
        const auto index = OvarnbAudioProcessor::findParameterIndex (o.key);

        if (index < 0)
            throw RenderError ("unknown parameter key '" + o.key + "'", RenderExit::usage);

        processor.setInternalValue (index, o.value);

        if (index == ParameterIndex::poly)
            processor.setPoly ((int) o.value);
    }

    if (! overrides.empty())
        processor.updateLinkOffsets();
}

} // namespace ProcessorSound
