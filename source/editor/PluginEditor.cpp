#include "PluginEditor.h"
#include "processor/PluginProcessor.h"

OvarnbAudioProcessorEditor::OvarnbAudioProcessorEditor (OvarnbAudioProcessor& p)
    : juce::AudioProcessorEditor (p), processor (p)
{
    setResizable (false, false);
    setSize (windowWidth, windowHeight);
}

OvarnbAudioProcessorEditor::~OvarnbAudioProcessorEditor() = default;

void OvarnbAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff1d2127));
    g.setColour (juce::Colours::white.withAlpha (0.8f));
    g.setFont (28.0f);
    g.drawText (processor.getName(), getLocalBounds().removeFromTop (80), juce::Justification::centred);
}
