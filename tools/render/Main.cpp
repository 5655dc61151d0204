#include "RenderTool.h"

#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <iostream>

int main (int argc, char* argv[])
{
    // The processor starts a timer and the plot draws text: both want JUCE's message
    // manager and GUI support initialised (no display is needed).
    const juce::ScopedJuceInitialiser_GUI juce;

    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    return RenderTool::run (args, std::cout, std::cerr);
}
