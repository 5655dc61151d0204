#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <memory>
#include <ostream>
#include <vector>

/** Loads the built plug-in bundles through JUCE's own hosting classes, the way
    a DAW does: the format scans the bundle, describes it and instantiates it.
    Nothing of the plug-in's own code is linked into this program. */
namespace host
{
    enum class Format { vst3, lv2 };

    constexpr const char* lv2Uri = "urn:quillfen:ovarn";
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;

    inline const char* toString (Format format)   { return format == Format::vst3 ? "VST3" : "LV2"; }
    inline void PrintTo (Format format, std::ostream* os)  { *os << toString (format); }

    /** One per process: owns the formats (the LV2 world is expensive to build)
        and must die before the message manager does. */
    class PluginHost
    {
    public:
        PluginHost();
        ~PluginHost();

        static PluginHost& get();

        /** The descriptions the format finds in the built bundle (exactly one is expected). */
        juce::OwnedArray<juce::PluginDescription> describe (Format format);

        /** A fresh instance of the built plug-in at 48 kHz, 512 frames; null with the
            format's error message in `error` when it cannot be loaded. */
        std::unique_ptr<juce::AudioPluginInstance> load (Format format, juce::String& error);

    private:
        juce::AudioPluginFormat& formatFor (Format format);

        juce::AudioPluginFormatManager manager;
        juce::VST3PluginFormat* vst3 = nullptr;
        juce::LV2PluginFormat* lv2 = nullptr;
        bool lv2BundleLoaded = false;
    };

    /** The plug-in's own parameters as a host lists them: without the bypass
        parameter a format may add and without the VST3 wrapper's hidden MIDI
        controller parameters (named "MIDI CC channel|number"). */
    std::vector<juce::AudioProcessorParameter*> ownParameters (juce::AudioPluginInstance& plugin);

    /** Finds one of the plug-in's own parameters by its name. */
    juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const juce::String& name);

    /** Sets the layout (same set in and out) and prepares at 48 kHz, 512 frames. */
    bool prepare (juce::AudioPluginInstance& plugin, const juce::AudioChannelSet& set);

    /** Two distinct tones, so that a swapped or summed channel shows. */
    float testTone (int channel, long long frame);
}
