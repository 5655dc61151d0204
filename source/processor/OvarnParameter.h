#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class OvarnbAudioProcessor;

/** One host parameter: a view of a row of the processor's parameter table.
    Hosts see the key as both name and ID, so saved sessions stay valid. */
class OvarnParameter : public juce::AudioProcessorParameterWithID
{
public:
    OvarnParameter (OvarnbAudioProcessor& owner, int index, const juce::String& key);

    float getValue() const override;
    void setValue (float newValue) override;
    float getDefaultValue() const override;
    juce::String getText (float normalizedValue, int maximumLength) const override;
    float getValueForText (const juce::String& text) const override;
    bool isAutomatable() const override;

private:
    OvarnbAudioProcessor& processor;
    const int parameterIndex;
};
