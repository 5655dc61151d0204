#pragma once

#include "NoteEvent.h"
#include <juce_core/juce_core.h>
#include <optional>

/** One `--set key=value` override, in internal units. */
struct ParameterOverride
{
    juce::String key;
    double value = 0.0;
};

/** Everything the command line asks for, checked for form but not yet against files. */
struct RenderOptions
{
    bool showHelp = false;
    bool listPresets = false;

    juce::File inputFile;                   // none: the built-in demo sound
    juce::File midiFile;                    // none: --note notes, else the demo phrase
    std::vector<NoteEvent> notes;           // from --note, in the order given

    juce::String presetName;
    juce::File stateFile;
    std::vector<ParameterOverride> overrides;

    std::optional<double> tempo;            // none: the MIDI file's tempo map, else 120
    int blockSize = 512;
    double tailSeconds = 1.0;

    juce::File outputFile;
    int bitsPerSample = 24;                 // 16 or 24 integer, 32 float
    juce::File plotFile;
    juce::File saveStateFile;
    bool showProgress = true;

    bool usesDemoSound() const    { return inputFile == juce::File(); }
    bool usesDemoPhrase() const   { return midiFile == juce::File() && notes.empty(); }
    bool rendersAudio() const     { return outputFile != juce::File(); }
};

namespace RenderCommandLine
{
    constexpr int minBlockSize = 1;
    constexpr int maxBlockSize = 65536;
    constexpr double maxTailSeconds = 600.0;

    /** Parses the arguments (without the program name). Relative paths are taken from
        `workingDirectory`. Throws RenderError (usage) with a one-line message. */
    RenderOptions parse (const juce::StringArray& args, const juce::File& workingDirectory);

    juce::String getHelpText();
}
