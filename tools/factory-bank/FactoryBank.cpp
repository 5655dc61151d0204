// Writes the factory bank resource, resources/ovarnpresets.ovb.
//
// Usage: ovarn_factory_bank <output file>
//
// Each preset starts from the parameter defaults, vibrato on and every
// controller unbound, and changes only the values listed in its row. The
// values are known to six significant digits and are used exactly as listed.

#include "PresetCodec.h"

#include <iostream>

namespace
{
    struct FactoryPreset
    {
        const char* name;
        const char* changes;   // "key value, key value, ..."
    };

    constexpr FactoryPreset factoryPresets[] = {
        { "init", "" },
        { "vibrato", "pitchlfo 0.01125, lfofade 0.0680938, lforate 0.733576" },
        { "for drums", "mididelay 1, lfofade 0.0680938, lforate 0.733576" },
        { "formant drop", "mididelay 1, formantenv -1, envdelay 0.00001, envcurve 0, envdecay 0.279353, "
                          "lfofade 0.0680938, lforate 0.733576" },
        { "meltdown", "pitch -1, pitchenv -1, formantenv -1, envdelay 0.00001, envcurve 0.294643, "
                      "envdecay 0.551782, lfofade 0.0680938, lforate 0.733576" },
        { "outer space", "pitchwup 1, pitchwdn 1, pitchlfo 0.25, formantlfo 0.25, pitchenv 1, formantenv 1, "
                         "envdelay 0.0859549, envcurve 0.955357, lfofade 0.308085, lforate 0.449291, "
                         "lforetrig 0, lfosync 0" },
        { "bounceroo", "pitch -1, pitchwup 1, pitchwdn 1, formantlfo 0.125, envdelay 0.0859549, "
                       "envcurve 0.955357, lfofade 0.00001, lforate 0.488503, lfoshape 0.4" },
        { "Synthron", "formant 0.5, pitchwup 1, pitchwdn 1, formantenv -1, wet 1, envdelay 0.00001, "
                      "envcurve 0, envdecay 0.438859, lfofade 0.00001, lforate 0.488503, lfoshape 0.4, "
                      "release 0.15666" },
        { "padington", "pitchwup 1, pitchwdn 1, formantlfo 0.291667, formantenv 0.416667, wet 1, "
                       "envdelay 0.00001, envcurve 0, envdecay 1, lfofade 0.00001, lforate 0.321853, "
                       "attack 0.326636, release 0.15666" },
        { "aliens", "smooth 1, pitchlfo 0.333333, formantlfo 0.333333, link 1, lfofade 0.166463, "
                    "lforate 0.802197, lfoshape 1, attack 0.00382474" },
        { "vibrations", "pitch -0.5, glide 0.0410158, pitchlfo 0.00625002, poly 0, envdelay 0.0758037, "
                        "envcurve 0.910714, envdecay 0.217193, lfofade 0.108617, lforate 0.390474, "
                        "lforetrig 0, lfosync 0, attack 0.00382474, release 0.00819255" },
        { "hold it", "pitch -0.25, glide 0.0410158, pitchlfo 0.25, pitchenv 1, formantenv 1, poly 0, "
                     "envdelay 0.573736, envcurve 0.821429, envdecay 1, lfofade 0.00001, lforate 0.331656, "
                     "lfoshape 0.6, lfosync 0, attack 0.00382474, release 0.00819255" },
        { "computer world", "pitch -1, glide 0.0410158, formantlfo 0.416667, poly 0, envdelay 1, "
                            "envcurve 0.116071, envdecay 1, lfofade 0.0465301, lforate 0.429685, "
                            "lfoshape 0.8, lforetrig 0, lfosync 0, attack 0.00382474, release 0.00819255" },
        { "paddington", "pitchwup 1, pitchwdn 1, smooth 1, formantlfo 0.291667, formantenv 0.416667, wet 1, "
                        "envdelay 0.00001, envcurve 0, envdecay 1, lfofade 0.00001, lforate 0.321853, "
                        "attack 0.326636, release 0.15666" },
        { "helium", "pitchlfo 0.166667, formantlfo 0.166667, pitchenv 1, formantenv 1, envdelay 0.00001, "
                    "envcurve 0.875, envdecay 1, lfofade 0.0423971, lforate 0.684562, lfoshape 0.4, "
                    "lforetrig 0" },
    };

    int findKey (const juce::String& key)
    {
        for (size_t i = 0; i < parameterRows.size(); ++i)
            if (key == parameterRows[i].key)
                return (int) i;

        return -1;
    }

    /** Applies "key value, ..." to the preset; false on an unknown key or a bad number. */
    bool applyChanges (const FactoryPreset& row, PresetCodec::PresetValues& preset)
    {
        auto items = juce::StringArray::fromTokens (row.changes, ",", "");
        items.trim();
        items.removeEmptyStrings();

        for (const auto& item : items)
        {
            const auto key = item.upToFirstOccurrenceOf (" ", false, false);
            const auto text = item.fromFirstOccurrenceOf (" ", false, false).trim();
            const auto index = findKey (key);
            const auto value = PresetCodec::parseFiniteValue (text);

            if (index < 0 || ! value.has_value())
            {
                std::cerr << "bad entry in preset \"" << row.name << "\": " << item << "\n";
                return false;
            }

            preset.values[(size_t) index] = *value;
        }

        return true;
    }
}

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: ovarn_factory_bank <output file>\n";
        return 2;
    }

    juce::XmlElement bank (PresetCodec::bankTag);

    for (const auto& row : factoryPresets)
    {
        auto preset = PresetCodec::defaultPresetValues();

        if (! applyChanges (row, preset))
            return 1;

        auto element = PresetCodec::createPresetElement (preset);
        element->setAttribute ("name", row.name);
        bank.addChildElement (element.release());
    }

    const auto output = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);
    const auto data = PresetCodec::createBankFileData (bank);

    if (! PresetCodec::replaceFileContents (output, data.getData(), data.getSize()))
    {
        std::cerr << "cannot write " << output.getFullPathName() << "\n";
        return 1;
    }

    std::cout << output.getFullPathName() << ": " << data.getSize() << " bytes\n";
    return 0;
}
