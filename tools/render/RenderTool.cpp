#include "RenderTool.h"

#include "AudioFiles.h"
#include "DemoMaterial.h"
#include "EventSchedule.h"
#include "MidiFileNotes.h"
#include "OutputFiles.h"
#include "ProcessorRender.h"
#include "Progress.h"
#include "RenderError.h"
#include "RenderOptions.h"
#include "RenderPlot.h"

#include <ostream>

namespace
{
    juce::MemoryBlock readStateFile (const juce::File& file)
    {
        if (! file.existsAsFile())
            throw RenderError ("state file '" + file.getFullPathName() + "' does not exist");

        juce::MemoryBlock data;

        if (! file.loadFileAsData (data))
            throw RenderError ("cannot read state file '" + file.getFullPathName() + "'");

        return data;
    }

    void writeData (const juce::File& file, const juce::MemoryBlock& data)
    {
        juce::FileOutputStream stream (file);

        if (stream.failedToOpen() || stream.truncate().failed() || ! stream.write (data.getData(), data.getSize()))
            throw RenderError ("cannot write '" + file.getFullPathName() + "'");

        stream.flush();

        if (stream.getStatus().failed())
            throw RenderError ("cannot write '" + file.getFullPathName() + "'");
    }

    void writePlot (const juce::File& file, const juce::Image& image)
    {
        juce::FileOutputStream stream (file);

        if (stream.failedToOpen() || stream.truncate().failed() || ! RenderPlot::writePng (image, stream))
            throw RenderError ("cannot write '" + file.getFullPathName() + "'");

        stream.flush();

        if (stream.getStatus().failed())
            throw RenderError ("cannot write '" + file.getFullPathName() + "'");
    }

    juce::String describeSound (const RenderOptions& options)
    {
        juce::String text = options.presetName.isNotEmpty() ? "preset \"" + options.presetName + "\""
                          : options.stateFile != juce::File() ? "state " + options.stateFile.getFileName()
                                                               : juce::String ("default sound");

        for (const auto& o : options.overrides)
            text << ", " << o.key << "=" << juce::String (o.value);

        return text;
    }

    int render (const RenderOptions& options, std::ostream& out, std::ostream& err)
    {
        // Everything that can be checked without the processor comes first.
        AudioFiles::Audio input;

        if (options.usesDemoSound())
        {
            input.sampleRate = DemoMaterial::defaultSampleRate;
            input.buffer = DemoMaterial::makeSound (input.sampleRate);
        }
        else
        {
            input = AudioFiles::readInput (options.inputFile);
        }

        MidiPart part;
        std::vector<NoteEvent> notes;

        if (options.midiFile != juce::File())
        {
            part = MidiFileNotes::read (options.midiFile);
            notes = part.notes;
        }

        notes.insert (notes.end(), options.notes.begin(), options.notes.end());

        if (options.usesDemoPhrase())
            notes = DemoMaterial::makePhrase();

        const auto tempoMap = options.tempo ? TempoMap (*options.tempo) : part.tempoMap;

        juce::MemoryBlock state;
        if (options.stateFile != juce::File())
            state = readStateFile (options.stateFile);

        // The sound.
        auto processor = std::make_unique<OvarnbAudioProcessor>();
        const auto numChannels = input.buffer.getNumChannels();
        ProcessorRender::configureLayout (*processor, numChannels, input.sampleRate, options.blockSize);

        if (options.presetName.isNotEmpty())
            ProcessorSound::loadPresetByName (*processor, options.presetName);

        if (options.stateFile != juce::File())
            ProcessorSound::loadState (*processor, state, options.stateFile.getFullPathName());

        ProcessorSound::applyOverrides (*processor, options.overrides);

        PendingOutputs outputs;
        juce::StringArray written;

        if (options.saveStateFile != juce::File())
        {
            juce::MemoryBlock saved;
            processor->getStateInformation (saved);
            writeData (outputs.add (options.saveStateFile), saved);
            written.add ("wrote " + options.saveStateFile.getFullPathName() + " (saved state)");
        }

        if (options.rendersAudio())
        {
            const EventSchedule schedule (notes, part.controls, input.sampleRate);
            const auto length = ProcessorRender::getRenderLength (input.buffer.getNumSamples(), schedule,
                                                                   options.tailSeconds, input.sampleRate);
            juce::AudioBuffer<float> output;

            {
                ProgressBar progress (options.showProgress);
                output = ProcessorRender::render (*processor, input.buffer, input.sampleRate, schedule, tempoMap,
                                                  options.blockSize, length,
                                                  [&progress] (double f) { progress.update (f); });
            }

            processor.reset();

            AudioFiles::writeWav (outputs.add (options.outputFile), output, input.sampleRate, options.bitsPerSample);

            const auto peak = output.getMagnitude (0, output.getNumSamples());
            juce::String summary;
            summary << "wrote " << options.outputFile.getFullPathName() << " ("
                    << juce::String (output.getNumSamples() / input.sampleRate, 2) << " s, "
                    << juce::String (input.sampleRate, 0) << " Hz, " << (numChannels == 1 ? "mono" : "stereo") << ", "
                    << (options.bitsPerSample == 32 ? juce::String ("32-bit float") : juce::String (options.bitsPerSample) + "-bit")
                    << ", peak " << juce::String (juce::Decibels::gainToDecibels (peak, -200.0f), 1) << " dBFS)";
            written.add (summary);

            if (peak > 1.0f && options.bitsPerSample != 32)
                err << "ovarn-render: warning: the output peaks at +"
                    << juce::String (juce::Decibels::gainToDecibels (peak), 1)
                    << " dBFS and is clipped; --bits 32 keeps it unclipped\n";

            if (options.plotFile != juce::File())
            {
                const auto title = "ovarn-render   input: "
                                 + (options.usesDemoSound() ? juce::String ("demo sound") : options.inputFile.getFileName())
                                 + "   notes: "
                                 + (options.midiFile != juce::File() ? options.midiFile.getFileName()
                                    : options.notes.empty() ? juce::String ("demo phrase") : juce::String ("command line"))
                                 + "   sound: " + describeSound (options);

                const auto image = RenderPlot::draw ({ input.buffer, output, input.sampleRate, notes, title });
                writePlot (outputs.add (options.plotFile), image);
                written.add ("wrote " + options.plotFile.getFullPathName() + " ("
                             + juce::String (image.getWidth()) + " x " + juce::String (image.getHeight()) + ")");
            }
        }

        outputs.commit();

        for (const auto& line : written)
            out << line << "\n";

        return RenderExit::ok;
    }

    int listPresets (std::ostream& out)
    {
        OvarnbAudioProcessor processor;

        for (const auto& name : ProcessorSound::getPresetNames (processor))
            out << name << "\n";

        return RenderExit::ok;
    }
}

namespace RenderTool
{

int run (const juce::StringArray& args, std::ostream& out, std::ostream& err)
{
    try
    {
        const auto options = RenderCommandLine::parse (args, juce::File::getCurrentWorkingDirectory());

        if (options.showHelp)
        {
            out << RenderCommandLine::getHelpText();
            return RenderExit::ok;
        }

        if (options.listPresets)
            return listPresets (out);

        return render (options, out, err);
    }
    catch (const RenderError& e)
    {
        err << "ovarn-render: error: " << e.what() << "\n";
        return e.exitCode;
    }
    catch (const std::exception& e)
    {
        err << "ovarn-render: error: " << e.what() << "\n";
        return RenderExit::failure;
    }
}

} // namespace RenderTool
