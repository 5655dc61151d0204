// Presets, banks and saved state of OvarnbAudioProcessor. Everything here runs
// on the message thread (host state calls and the editor's menus).

#include "PluginProcessor.h"
#include "PresetCodec.h"

namespace
{
    PresetCodec::PresetValues readCurrentValues (const OvarnbAudioProcessor& processor)
    {
        PresetCodec::PresetValues preset;

        for (int i = 0; i < numParameters; ++i)
            preset.values[(size_t) i] = processor.getInternalValue (i);

        for (int cc = 0; cc < numControllers; ++cc)
            preset.controllers[(size_t) cc] = processor.getControllerBinding (cc);

        preset.modVibrato = processor.getModvib();
        return preset;
    }
}

std::unique_ptr<juce::XmlElement> OvarnbAudioProcessor::getPresetXML() const
{
    return PresetCodec::createPresetElement (readCurrentValues (*this));
}

void OvarnbAudioProcessor::loadPresetXML (const juce::XmlElement* element)
{
    // Exact, case-sensitive tag: XmlElement::hasTagName ignores case.
    if (element == nullptr || element->getTagName() != PresetCodec::presetTag)
        return;

    auto preset = readCurrentValues (*this);
    PresetCodec::readPresetElement (*element, preset);

    for (int i = numParameters; --i >= 0;)
        setInternalValue (i, preset.values[(size_t) i]);

    for (int cc = numControllers; --cc >= 0;)
        setControllerBinding (cc, preset.controllers[(size_t) cc]);

    setPoly ((int) preset.values[(size_t) ParameterIndex::poly]);
    setModvib (preset.modVibrato);
    updateLinkOffsets();
}

void OvarnbAudioProcessor::getStateInformation (juce::MemoryBlock& destination)
{
    destination = PresetCodec::createStateData (*getPresetXML());
}

void OvarnbAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (sizeInBytes <= 0)
        return;

    const auto element = PresetCodec::readStateData (data, (size_t) sizeInBytes);
    loadPresetXML (element.get());
}

juce::XmlElement* OvarnbAudioProcessor::getPresetList()
{
    return presetBank->getBank();
}

void OvarnbAudioProcessor::loadPreset (int index)
{
    // getChildElement treats a negative index as 0, so it is refused here.
    if (index < 0)
        return;

    if (auto* child = presetBank->getBank()->getChildElement (index))
        loadPresetXML (child);
}

void OvarnbAudioProcessor::addPreset (const juce::String& name)
{
    auto preset = getPresetXML();
    preset->setAttribute ("name", name);

    // A write failure is not reported; the preset stays in the bank in memory.
    presetBank->appendPreset (std::move (preset));
}

void OvarnbAudioProcessor::loadBank (const juce::File& file)
{
    if (! presetBank->loadBankFile (file) && PresetBank::showAlert != nullptr)
        PresetBank::showAlert ("Bank File Error.", "I cannot read this file.");
}

juce::File OvarnbAudioProcessor::getBankFile() const
{
    return presetBank->getBankFile();
}
