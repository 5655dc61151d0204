#include "OvarnParameter.h"
#include "PluginProcessor.h"

OvarnParameter::OvarnParameter (OvarnbAudioProcessor& owner, int index, const juce::String& key)
    : juce::AudioProcessorParameterWithID (juce::ParameterID { key, 1 }, key),
      processor (owner), parameterIndex (index)
{
}

float OvarnParameter::getValue() const               { return processor.getNormalizedValue (parameterIndex); }
void OvarnParameter::setValue (float newValue)       { processor.setParameter (parameterIndex, newValue); }
float OvarnParameter::getDefaultValue() const        { return processor.getNormalizedValue (parameterIndex); }
bool OvarnParameter::isAutomatable() const           { return processor.isParameterAutomatable (parameterIndex); }

juce::String OvarnParameter::getText (float normalizedValue, int maximumLength) const
{
    return OvarnbAudioProcessor::formatNormalized (normalizedValue).substring (0, juce::jmax (0, maximumLength));
}

float OvarnParameter::getValueForText (const juce::String& text) const
{
    return juce::jlimit (0.0f, 1.0f, text.getFloatValue());
}
