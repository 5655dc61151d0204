// What a host sees of the built VST3 and LV2 bundles: identity, parameters,
// layouts, MIDI flags, and audio passing through.
//
// Tests of saved state (getStateInformation / setStateInformation round trips,
// state restored into a fresh instance) belong in their own file next to this one,
// e.g. HostStateTests.cpp, parameterised over host::Format the same way as here:
// every .cpp in this folder is built into this program.

#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <vector>
#include "HostHarness.h"

namespace
{
    using host::Format;

    const char* const keys[] = {
        "pitch", "formant", "pitchwup", "pitchwdn", "glide", "smooth", "mididelay", "pitchlfo",
        "formantlfo", "pitchenv", "formantenv", "wet", "poly", "link", "envdelay", "envcurve",
        "envdecay", "lfofade", "lforate", "lfoshape", "lforetrig", "lfosync", "attack", "release"
    };

    /** The parameter ID a host stores in its sessions for a key. The VST3 wrapper
        turns the key into a number (its hash, kept positive); JUCE's LV2 host
        names a parameter by the URI the plug-in declares for it. */
    juce::String expectedParameterId (Format format, const juce::String& key)
    {
        if (format == Format::vst3)
            return juce::String ((juce::uint32) key.hashCode() & 0x7fffffffu);

        return juce::String ("des:") + host::lv2Uri + ":" + key;
    }

    juce::AudioProcessor::BusesLayout layoutOf (const juce::AudioChannelSet& in, const juce::AudioChannelSet& out)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (in);
        layout.outputBuses.add (out);
        return layout;
    }

    /** Runs one second of the two test tones through the plug-in in 512-frame
        blocks with no MIDI and returns the largest difference between output and
        input over the second half (the dry signal fades in at the start). */
    float largestDifferenceAfterFadeIn (juce::AudioPluginInstance& plugin, int numChannels, float expectedGain)
    {
        juce::AudioBuffer<float> buffer (numChannels, host::blockSize);
        juce::MidiBuffer midi;
        const int numBlocks = (int) std::ceil (host::sampleRate / host::blockSize);
        float largest = 0.0f;

        for (int block = 0; block < numBlocks; ++block)
        {
            const long long first = (long long) block * host::blockSize;

            for (int ch = 0; ch < numChannels; ++ch)
                for (int s = 0; s < host::blockSize; ++s)
                    buffer.setSample (ch, s, host::testTone (ch, first + s));

            midi.clear();
            plugin.processBlock (buffer, midi);

            if (block < numBlocks / 2)
                continue;

            for (int ch = 0; ch < numChannels; ++ch)
                for (int s = 0; s < host::blockSize; ++s)
                    largest = std::max (largest, std::abs (buffer.getSample (ch, s)
                                                           - expectedGain * host::testTone (ch, first + s)));
        }

        return largest;
    }

    class HostedPlugin : public ::testing::TestWithParam<Format>
    {
    protected:
        void SetUp() override
        {
            juce::String error;
            plugin = host::PluginHost::get().load (GetParam(), error);
            ASSERT_NE (plugin, nullptr) << error;
        }

        void TearDown() override
        {
            if (plugin != nullptr)
                plugin->releaseResources();
        }

        std::unique_ptr<juce::AudioPluginInstance> plugin;
    };
}

TEST_P (HostedPlugin, ShowsItsNameMakerAndKind)
{
    const auto types = host::PluginHost::get().describe (GetParam());
    ASSERT_EQ (types.size(), 1);
    const auto& description = *types[0];

    EXPECT_EQ (description.name, "Ovarn");
    EXPECT_EQ (description.manufacturerName, "Quillfen");
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (plugin->getName(), "Ovarn");

    if (GetParam() == Format::lv2)
    {
        EXPECT_EQ (description.fileOrIdentifier, host::lv2Uri);   // the URI sessions refer to
    }
    else
    {
        EXPECT_EQ (description.version, "1.0.0");
        EXPECT_EQ (plugin->getTailLengthSeconds(), 0.0);   // JUCE's LV2 host does not ask
    }

    EXPECT_EQ (plugin->getLatencySamples(), 0);
}

TEST_P (HostedPlugin, ListsTheTwentyFourParametersByKey)
{
    // VST3 keeps the plug-in's order; JUCE's LV2 host lists parameters sorted by
    // their URIs. Sessions find a parameter by its ID either way.
    std::vector<juce::String> expected (std::begin (keys), std::end (keys));

    if (GetParam() == Format::lv2)
        std::sort (expected.begin(), expected.end());

    const auto parameters = host::ownParameters (*plugin);
    ASSERT_EQ (parameters.size(), expected.size());

    for (size_t i = 0; i < expected.size(); ++i)
    {
        const auto& key = expected[i];
        SCOPED_TRACE (key);
        auto* parameter = parameters[i];
        EXPECT_EQ (parameter->getName (64), key);

        auto* withId = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameter);
        ASSERT_NE (withId, nullptr);
        EXPECT_EQ (withId->getParameterID(), expectedParameterId (GetParam(), key));

        // JUCE's LV2 format has no way to say a parameter is not automatable
        if (GetParam() == Format::vst3)
            EXPECT_EQ (parameter->isAutomatable(), key != "poly");
    }
}

TEST_P (HostedPlugin, TakesMidiInAndSendsNone)
{
    EXPECT_TRUE (plugin->acceptsMidi());
    EXPECT_FALSE (plugin->producesMidi());
}

TEST_P (HostedPlugin, AcceptsMatchingMonoOrStereoOnly)
{
    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();

    EXPECT_TRUE (plugin->checkBusesLayoutSupported (layoutOf (stereo, stereo)));
    EXPECT_FALSE (plugin->checkBusesLayoutSupported (layoutOf (stereo, mono)));
    EXPECT_FALSE (plugin->checkBusesLayoutSupported (layoutOf (mono, stereo)));
    EXPECT_FALSE (plugin->checkBusesLayoutSupported (layoutOf (juce::AudioChannelSet::create5point1(),
                                                               juce::AudioChannelSet::create5point1())));

    // an LV2 bundle declares a fixed set of ports, here two in and two out
    EXPECT_EQ (plugin->checkBusesLayoutSupported (layoutOf (mono, mono)), GetParam() == Format::vst3);
}

TEST_P (HostedPlugin, PassesStereoAudioThroughWithoutNotes)
{
    ASSERT_TRUE (host::prepare (*plugin, juce::AudioChannelSet::stereo()));
    EXPECT_LT (largestDifferenceAfterFadeIn (*plugin, 2, 1.0f), 1.0e-5f);
}

TEST (HostedVst3, PassesMonoAudioThroughWithoutNotes)
{
    juce::String error;
    auto plugin = host::PluginHost::get().load (Format::vst3, error);
    ASSERT_NE (plugin, nullptr) << error;

    ASSERT_TRUE (host::prepare (*plugin, juce::AudioChannelSet::mono()));
    EXPECT_LT (largestDifferenceAfterFadeIn (*plugin, 1, 1.0f), 1.0e-5f);
    plugin->releaseResources();
}

TEST_P (HostedPlugin, AHostParameterChangeReachesTheAudio)
{
    // wet at 0.75 halves the dry signal while no key is held
    auto* wet = host::findParameter (*plugin, "wet");
    ASSERT_NE (wet, nullptr);
    ASSERT_TRUE (host::prepare (*plugin, juce::AudioChannelSet::stereo()));

    wet->setValueNotifyingHost (0.75f);
    EXPECT_LT (largestDifferenceAfterFadeIn (*plugin, 2, 0.5f), 1.0e-5f);
}

TEST_P (HostedPlugin, LeavesNoMidiInTheHostsBuffer)
{
    ASSERT_TRUE (host::prepare (*plugin, juce::AudioChannelSet::stereo()));

    juce::AudioBuffer<float> buffer (2, host::blockSize);
    juce::MidiBuffer midi;

    for (int block = 0; block < 8; ++block)
    {
        for (int ch = 0; ch < 2; ++ch)
            for (int s = 0; s < host::blockSize; ++s)
                buffer.setSample (ch, s, host::testTone (ch, (long long) block * host::blockSize + s));

        midi.clear();

        if (block == 2)
        {
            midi.addEvent (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100), 10);
            midi.addEvent (juce::MidiMessage::controllerEvent (1, 1, 64), 20);
            midi.addEvent (juce::MidiMessage::pitchWheel (1, 9000), 30);
        }

        if (block == 5)
            midi.addEvent (juce::MidiMessage::noteOff (1, 60), 0);

        plugin->processBlock (buffer, midi);

        EXPECT_TRUE (midi.isEmpty()) << "block " << block << ": " << midi.getNumEvents() << " events came back";

        for (int ch = 0; ch < 2; ++ch)
            for (int s = 0; s < host::blockSize; ++s)
                ASSERT_TRUE (std::isfinite (buffer.getSample (ch, s)));
    }
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedPlugin, ::testing::Values (Format::vst3, Format::lv2),
                          [] (const ::testing::TestParamInfo<Format>& param) { return std::string (host::toString (param.param)); });
