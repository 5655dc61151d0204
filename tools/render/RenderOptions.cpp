#include "RenderOptions.h"
#include "NoteParsing.h"
#include "RenderError.h"
#include "processor/ParameterTable.h"

#include <algorithm>

namespace
{
    const ParameterRow* findRow (const juce::String& key)
    {
        for (const auto& row : parameterRows)
            if (key == row.key)
                return &row;
        return nullptr;
    }

    /** "1", "-1", "0.00001": no trailing zeros. */
    juce::String formatNumber (double value)
    {
        auto text = juce::String (value, 6);

        if (text.containsChar ('.'))
            text = text.trimCharactersAtEnd ("0").trimCharactersAtEnd (".");

        return text == "-0" ? juce::String ("0") : text;
    }

    RenderError usageError (const juce::String& message)
    {
        return RenderError (message, RenderExit::usage);
    }

    ParameterOverride parseOverride (const juce::String& text)
    {
        if (! text.containsChar ('='))
            throw usageError ("--set needs KEY=VALUE, got '" + text + "'");

        const auto key = text.upToFirstOccurrenceOf ("=", false, false).trim();
        const auto valueText = text.fromFirstOccurrenceOf ("=", false, false).trim();
        const auto* row = findRow (key);

        if (row == nullptr)
            throw usageError ("unknown parameter key '" + key + "' (see --help for the keys)");

        const auto value = NoteParsing::parseNumber (valueText);

        if (! value)
            throw usageError ("value '" + valueText + "' for '" + key + "' is not a number");

        const auto low = std::min (row->atZero, row->atOne);
        const auto high = std::max (row->atZero, row->atOne);

        if (*value < low || *value > high)
            throw usageError ("value " + valueText + " for '" + key + "' is outside "
                              + formatNumber (low) + " to " + formatNumber (high));

        return { key, *value };
    }

    double parseBounded (const juce::String& option, const juce::String& text, double low, double high)
    {
        const auto value = NoteParsing::parseNumber (text);

        if (! value)
            throw usageError (option + " needs a number, got '" + text + "'");

        if (*value < low || *value > high)
            throw usageError (option + " must be between " + formatNumber (low) + " and " + formatNumber (high)
                              + ", got " + text);

        return *value;
    }
}

namespace RenderCommandLine
{

RenderOptions parse (const juce::StringArray& args, const juce::File& workingDirectory)
{
    RenderOptions options;
    std::vector<juce::String> seen;

    for (int i = 0; i < args.size(); ++i)
    {
        auto arg = args[i];
        juce::String inlineValue;
        bool hasInlineValue = false;

        if (arg.startsWith ("--") && arg.containsChar ('='))
        {
            inlineValue = arg.fromFirstOccurrenceOf ("=", false, false);
            arg = arg.upToFirstOccurrenceOf ("=", false, false);
            hasInlineValue = true;
        }

        const auto is = [&arg] (const char* shortName, const char* longName)
        {
            return (shortName != nullptr && arg == shortName) || arg == longName;
        };

        const auto takesNoValue = [&]
        {
            if (hasInlineValue)
                throw usageError (arg + " takes no value");
        };

        const auto value = [&]() -> juce::String
        {
            if (hasInlineValue)
                return inlineValue;

            if (i + 1 >= args.size())
                throw usageError (arg + " needs a value");

            return args[++i];
        };

        const auto once = [&] (const char* longName)
        {
            if (std::find (seen.begin(), seen.end(), juce::String (longName)) != seen.end())
                throw usageError (juce::String (longName) + " given more than once");
            seen.push_back (longName);
        };

        const auto file = [&] (const char* longName)
        {
            once (longName);
            const auto path = value();

            if (path.isEmpty())
                throw usageError (juce::String (longName) + " needs a file name");

            return workingDirectory.getChildFile (path);
        };

        if (is ("-h", "--help"))              { takesNoValue(); options.showHelp = true; }
        else if (is (nullptr, "--list-presets")) { takesNoValue(); options.listPresets = true; }
        else if (is (nullptr, "--no-progress"))  { takesNoValue(); options.showProgress = false; }
        else if (is ("-i", "--input"))        options.inputFile = file ("--input");
        else if (is ("-m", "--midi"))         options.midiFile = file ("--midi");
        else if (is ("-o", "--output"))       options.outputFile = file ("--output");
        else if (is (nullptr, "--plot"))      options.plotFile = file ("--plot");
        else if (is (nullptr, "--state"))     options.stateFile = file ("--state");
        else if (is (nullptr, "--save-state")) options.saveStateFile = file ("--save-state");
        else if (is ("-n", "--note"))         options.notes.push_back (NoteParsing::parseNoteSpec (value()));
        else if (is (nullptr, "--set"))       options.overrides.push_back (parseOverride (value()));
        else if (is ("-p", "--preset"))
        {
            once ("--preset");
            options.presetName = value().trim();

            if (options.presetName.isEmpty())
                throw usageError ("--preset needs a name (--list-presets shows them)");
        }
        else if (is (nullptr, "--tempo"))
        {
            once ("--tempo");
            options.tempo = parseBounded ("--tempo", value(), 1.0, 999.0);
        }
        else if (is (nullptr, "--block-size"))
        {
            once ("--block-size");
            const auto text = value();
            const auto n = NoteParsing::parseInteger (text);

            if (! n || *n < minBlockSize || *n > maxBlockSize)
                throw usageError ("--block-size must be a whole number from " + juce::String (minBlockSize)
                                  + " to " + juce::String (maxBlockSize) + ", got '" + text + "'");

            options.blockSize = *n;
        }
        else if (is (nullptr, "--tail"))
        {
            once ("--tail");
            options.tailSeconds = parseBounded ("--tail", value(), 0.0, maxTailSeconds);
        }
        else if (is (nullptr, "--bits"))
        {
            once ("--bits");
            const auto text = value();
            const auto n = NoteParsing::parseInteger (text);

            if (! n || (*n != 16 && *n != 24 && *n != 32))
                throw usageError ("--bits must be 16, 24 or 32, got '" + text + "'");

            options.bitsPerSample = *n;
        }
        else if (arg.startsWithChar ('-') && arg.length() > 1)
            throw usageError ("unknown option '" + arg + "' (see --help)");
        else
            throw usageError ("unexpected argument '" + arg + "' (files need an option such as -i or -o; see --help)");
    }

    if (options.showHelp || options.listPresets)
        return options;

    if (options.presetName.isNotEmpty() && options.stateFile != juce::File())
        throw usageError ("give either --preset or --state, not both");

    if (options.plotFile != juce::File() && ! options.rendersAudio())
        throw usageError ("--plot needs an audio output too: give -o FILE.wav");

    if (! options.rendersAudio() && options.saveStateFile == juce::File())
        throw usageError ("no output file: give -o FILE.wav (see --help)");

    // Every output must go to its own file, and none may overwrite an input.
    const std::vector<std::pair<const char*, juce::File>> outputs {
        { "--output", options.outputFile }, { "--plot", options.plotFile }, { "--save-state", options.saveStateFile } };
    const std::vector<juce::File> inputs { options.inputFile, options.midiFile, options.stateFile };

    for (size_t a = 0; a < outputs.size(); ++a)
    {
        if (outputs[a].second == juce::File())
            continue;

        for (size_t b = a + 1; b < outputs.size(); ++b)
            if (outputs[a].second == outputs[b].second)
                throw usageError (juce::String (outputs[a].first) + " and " + outputs[b].first + " name the same file");

        for (const auto& in : inputs)
            if (in != juce::File() && in == outputs[a].second)
                throw usageError (juce::String (outputs[a].first) + " would overwrite the input '" + in.getFullPathName() + "'");
    }

    return options;
}

juce::String getHelpText()
{
    juce::String keys;

    for (const auto& row : parameterRows)
    {
        const auto low = std::min (row.atZero, row.atOne), high = std::max (row.atZero, row.atOne);
        keys << "    " << juce::String (row.key).paddedRight (' ', 11)
             << formatNumber (low) << " .. " << formatNumber (high)
             << "  (default " << formatNumber (row.defaultValue) << ")\n";
    }

    return juce::String (
        "Usage: ovarn-render -o OUT.wav [options]\n"
        "\n"
        "Renders audio and MIDI through the Ovarn processor and writes the result as a WAV file.\n"
        "With no input and no notes it renders a built-in demo: a sung tone moving through the\n"
        "vowels a-e-i-o-u, with a held note, a legato line and a chord.\n"
        "\n"
        "Input:\n"
        "  -i, --input FILE       WAV or AIFF file, mono or stereo (default: the demo sound)\n"
        "  -m, --midi FILE        standard MIDI file with the notes (format 0 or 1)\n"
        "  -n, --note SPEC        a note as NOTE:START:END[:VELOCITY], times in seconds; NOTE is a\n"
        "                         number 0-127 or a name such as C4 (middle C, 60), A#3 or Bb3.\n"
        "                         Repeat for more notes. Without --midi and --note: the demo phrase\n"
        "\n"
        "Sound:\n"
        "  -p, --preset NAME      a preset from the bank (--list-presets shows them)\n"
        "      --state FILE       a saved state, as written by --save-state\n"
        "      --set KEY=VALUE    set a parameter to an internal value; repeatable, applied last\n"
        "      --tempo BPM        host tempo (default: the MIDI file's tempo map, else 120)\n"
        "      --block-size N     samples per processing block (default 512)\n"
        "      --tail SECONDS     extra time rendered after the input and the last note (default 1)\n"
        "\n"
        "Output:\n"
        "  -o, --output FILE      the WAV file to write (same rate and channels as the input)\n"
        "      --bits 16|24|32    sample format: 16 or 24 bit integer, 32 bit float (default 24)\n"
        "      --plot FILE.png    also draw input and output waveforms, the output's spectrogram\n"
        "                         and the notes on a time axis\n"
        "      --save-state FILE  write the sound's saved state, the same data a DAW saves in its\n"
        "                         project (read back with --state); without -o only the state\n"
        "                         is written\n"
        "      --list-presets     print the preset names and exit\n"
        "      --no-progress      no progress bar (it only appears on a terminal anyway)\n"
        "  -h, --help             this text\n"
        "\n"
        "Parameter keys and their internal ranges:\n")
        + keys +
        "\n"
        "Files are written under a temporary name and renamed when complete; on an error nothing\n"
        "is left behind. Exit status: 0 success, 1 a file could not be read or written or holds\n"
        "nothing usable, 2 a bad command line (unknown option, preset or key, a value that is\n"
        "not a number).\n"
        "\n"
        "Examples:\n"
        "  ovarn-render -o out/demo.wav --plot out/demo.png\n"
        "  ovarn-render -i voice.wav -m part.mid -p \"Preset Name\" -o frozen.wav\n"
        "  ovarn-render -i voice.wav -n C4:0.5:3 -n G4:1:3 --set formant=0.3 --set wet=1 -o out.wav\n";
}

} // namespace RenderCommandLine
