#pragma once

#include <juce_core/juce_core.h>
#include <iosfwd>

/** The ovarn-render program: reads the command line, renders and writes the files. */
namespace RenderTool
{
    /** Runs the program with its arguments (without the program name) and returns the
        exit code. Results go to `out`, errors and warnings to `err` as single lines. */
    int run (const juce::StringArray& args, std::ostream& out, std::ostream& err);
}
