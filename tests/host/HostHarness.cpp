#include "HostHarness.h"
#include <cmath>

namespace host
{
    namespace
    {
        PluginHost* current = nullptr;
    }

    PluginHost::PluginHost()
    {
        // the formats read the plug-in folders under HOME when they are built:
        // main() points HOME at an empty folder first, so only the built bundles count
        auto vst3Format = std::make_unique<juce::VST3PluginFormat>();
        auto lv2Format = std::make_unique<juce::LV2PluginFormat>();
        vst3 = vst3Format.get();
        lv2 = lv2Format.get();
        manager.addFormat (vst3Format.release());
        manager.addFormat (lv2Format.release());
        current = this;
    }

    PluginHost::~PluginHost()
    {
        current = nullptr;
    }

    PluginHost& PluginHost::get()
    {
        jassert (current != nullptr);
        return *current;
    }

    juce::AudioPluginFormat& PluginHost::formatFor (Format format)
    {
        if (format == Format::vst3)
            return *vst3;

        if (! lv2BundleLoaded)
        {
            // LV2 plug-ins are found by URI once the folder holding the bundle is known
            const juce::File bundle (OVARN_LV2_BUNDLE);
            lv2->searchPathsForPlugins (juce::FileSearchPath (bundle.getParentDirectory().getFullPathName()), false, false);
            lv2BundleLoaded = true;
        }

        return *lv2;
    }

    juce::OwnedArray<juce::PluginDescription> PluginHost::describe (Format format)
    {
        juce::OwnedArray<juce::PluginDescription> types;
        formatFor (format).findAllTypesForFile (types, format == Format::vst3 ? juce::String (OVARN_VST3_BUNDLE)
                                                                              : juce::String (lv2Uri));
        return types;
    }

    std::unique_ptr<juce::AudioPluginInstance> PluginHost::load (Format format, juce::String& error)
    {
        const auto types = describe (format);

        if (types.size() != 1)
        {
            error = juce::String (types.size()) + " plug-in descriptions found in the " + toString (format) + " bundle";
            return nullptr;
        }

        return manager.createPluginInstance (*types[0], sampleRate, blockSize, error);
    }

    std::vector<juce::AudioProcessorParameter*> ownParameters (juce::AudioPluginInstance& plugin)
    {
        std::vector<juce::AudioProcessorParameter*> result;
        auto* bypass = plugin.getBypassParameter();

        for (auto* parameter : plugin.getParameters())
            if (parameter != bypass && ! parameter->getName (64).startsWith ("MIDI CC "))
                result.push_back (parameter);

        return result;
    }

    juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const juce::String& name)
    {
        for (auto* parameter : ownParameters (plugin))
            if (parameter->getName (64) == name)
                return parameter;

        return nullptr;
    }

    bool prepare (juce::AudioPluginInstance& plugin, const juce::AudioChannelSet& set)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);

        if (! plugin.setBusesLayout (layout))
            return false;

        plugin.setRateAndBufferSizeDetails (sampleRate, blockSize);
        plugin.prepareToPlay (sampleRate, blockSize);
        return true;
    }

    float testTone (int channel, long long frame)
    {
        const double hz = channel == 0 ? 440.0 : 660.0;
        return (float) (0.5 * std::sin (juce::MathConstants<double>::twoPi * hz * (double) frame / sampleRate));
    }
}
