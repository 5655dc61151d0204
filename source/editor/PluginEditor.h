#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class OvarnbAudioProcessor;

/** The plug-in window: a fixed 371 × 683 pixels. */
class OvarnbAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    static constexpr int windowWidth = 371;
    static constexpr int windowHeight = 683;

    explicit OvarnbAudioProcessorEditor (OvarnbAudioProcessor&);
    ~OvarnbAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;

private:
    OvarnbAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OvarnbAudioProcessorEditor)
};
