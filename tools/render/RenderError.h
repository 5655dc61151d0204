#pragma once

#include <juce_core/juce_core.h>
#include <stdexcept>

/** Exit codes of ovarn-render. */
namespace RenderExit
{
    enum : int
    {
        ok      = 0,
        failure = 1,   // a file could not be read or written, or its content is unusable
        usage   = 2    // the command line asks for something that does not exist or is malformed
    };
}

/** A failure that ends the run with a one-line message and an exit code. */
class RenderError : public std::runtime_error
{
public:
    RenderError (const juce::String& message, int code = RenderExit::failure)
        : std::runtime_error (message.toStdString()), exitCode (code) {}

    juce::String getMessage() const   { return juce::String::fromUTF8 (what()); }

    const int exitCode;
};
