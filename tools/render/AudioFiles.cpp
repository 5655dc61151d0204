#include "AudioFiles.h"
#include "RenderError.h"

namespace AudioFiles
{

Audio readInput (const juce::File& file)
{
    const auto path = file.getFullPathName();

    if (! file.exists())
        throw RenderError ("input file '" + path + "' does not exist");

    if (file.isDirectory())
        throw RenderError ("input '" + path + "' is a folder, not an audio file");

    auto stream = file.createInputStream();

    if (stream == nullptr || stream->failedToOpen())
        throw RenderError ("cannot read input file '" + path + "'");

    juce::AudioFormatManager formats;
    formats.registerFormat (new juce::WavAudioFormat(), true);
    formats.registerFormat (new juce::AiffAudioFormat(), false);

    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (std::move (stream)));

    if (reader == nullptr)
        throw RenderError ("'" + path + "' is not a WAV or AIFF file");

    const auto channels = (int) reader->numChannels;

    if (channels != 1 && channels != 2)
        throw RenderError ("'" + path + "' has " + juce::String (channels)
                           + " channels; only mono and stereo are supported");

    if (reader->sampleRate < minSampleRate || reader->sampleRate > maxSampleRate)
        throw RenderError ("'" + path + "' has a sample rate of " + juce::String (reader->sampleRate)
                           + " Hz; supported are " + juce::String ((int) minSampleRate) + " to "
                           + juce::String ((int) maxSampleRate) + " Hz");

    if (reader->lengthInSamples <= 0)
        throw RenderError ("'" + path + "' contains no audio");

    if (reader->lengthInSamples > std::numeric_limits<int>::max() / 2)
        throw RenderError ("'" + path + "' is too long");

    Audio audio;
    audio.sampleRate = reader->sampleRate;
    audio.buffer.setSize (channels, (int) reader->lengthInSamples);

    if (! reader->read (&audio.buffer, 0, audio.buffer.getNumSamples(), 0, true, true))
        throw RenderError ("cannot read the audio in '" + path + "'");

    return audio;
}

void writeWav (const juce::File& file, const juce::AudioBuffer<float>& buffer, double sampleRate, int bitsPerSample)
{
    auto stream = std::make_unique<juce::FileOutputStream> (file);

    if (stream->failedToOpen() || ! stream->setPosition (0) || stream->truncate().failed())
        throw RenderError ("cannot write '" + file.getFullPathName() + "'");

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(), sampleRate,
                                                                          (unsigned int) buffer.getNumChannels(),
                                                                          bitsPerSample, {}, 0));
    if (writer == nullptr)
        throw RenderError ("cannot write a " + juce::String (bitsPerSample) + "-bit WAV file at "
                           + juce::String (sampleRate) + " Hz");

    stream.release();   // the writer owns it now

    if (! writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples()) || ! writer->flush())
        throw RenderError ("cannot write '" + file.getFullPathName() + "' (disk full?)");
}

} // namespace AudioFiles
