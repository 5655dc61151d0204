#pragma once

#include <juce_audio_formats/juce_audio_formats.h>
#include <gtest/gtest.h>

namespace RenderTest
{
    /** A folder that is removed with everything in it when the test ends. */
    struct ScratchFolder
    {
        ScratchFolder()
            : folder (juce::File::createTempFile ("ovarn-render-test"))
        {
            folder.createDirectory();
        }

        ~ScratchFolder()   { folder.deleteRecursively(); }

        juce::File operator/ (const juce::String& name) const   { return folder.getChildFile (name); }

        /** Every file in the folder, hidden ones included, by name. */
        juce::StringArray listNames() const
        {
            juce::StringArray names;
            for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, false))
                names.add (f.getFileName());
            names.sort (false);
            return names;
        }

        juce::File folder;
    };

    /** Writes WAV, or AIFF when the name ends in .aiff. */
    inline void writeAudio (const juce::File& file, const juce::AudioBuffer<float>& buffer, double sampleRate, int bits = 32)
    {
        file.deleteFile();
        juce::WavAudioFormat wav;
        juce::AiffAudioFormat aiff;
        juce::AudioFormat& format = file.hasFileExtension ("aiff") ? static_cast<juce::AudioFormat&> (aiff) : wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (format.createWriterFor (new juce::FileOutputStream (file), sampleRate,
                                                                                 (unsigned int) buffer.getNumChannels(), bits, {}, 0));
        ASSERT_NE (writer, nullptr);
        ASSERT_TRUE (writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples()));
    }

    struct Audio
    {
        juce::AudioBuffer<float> buffer;
        double sampleRate = 0.0;
        int bitsPerSample = 0;
    };

    /** Reads a WAV or AIFF file. */
    inline Audio readAudio (const juce::File& file)
    {
        juce::AudioFormatManager formats;
        formats.registerFormat (new juce::WavAudioFormat(), true);
        formats.registerFormat (new juce::AiffAudioFormat(), false);
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
        Audio audio;

        if (reader == nullptr)
        {
            ADD_FAILURE() << "not a WAV or AIFF file: " << file.getFullPathName();
            return audio;
        }

        audio.sampleRate = reader->sampleRate;
        audio.bitsPerSample = (int) reader->bitsPerSample;
        audio.buffer.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
        reader->read (&audio.buffer, 0, audio.buffer.getNumSamples(), 0, true, true);
        return audio;
    }

    /** The program's result: exit code and what it wrote to stderr. */
    struct RunResult
    {
        int exitCode = -1;
        juce::String errorOutput;
    };

    inline RunResult runRenderer (const juce::StringArray& args)
    {
        juce::StringArray command { OVARN_RENDER_BINARY };
        command.addArray (args);

        juce::ChildProcess process;
        RunResult result;

        if (! process.start (command, juce::ChildProcess::wantStdErr))
        {
            ADD_FAILURE() << "cannot start " << OVARN_RENDER_BINARY;
            return result;
        }

        result.errorOutput = process.readAllProcessOutput();
        process.waitForProcessToFinish (-1);
        result.exitCode = (int) process.getExitCode();
        return result;
    }
}
