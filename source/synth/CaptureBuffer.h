#pragma once

#include <juce_core/juce_core.h>
#include "SharedValue.h"
#include "ZeroedStorage.h"

/** The ring of the most recent input: 441000 frames of two channels.

    Every input frame is written here, whatever plays. Samples arrive as
    float from the host, so float storage keeps them exactly.
*/
class CaptureBuffer
{
public:
    static constexpr int numFrames = 441000;
    static constexpr int lastIndex = numFrames - 1;
    static constexpr int numChannels = 2;

    CaptureBuffer()
        : left (static_cast<size_t> (numFrames)),
          right (static_cast<size_t> (numFrames))
    {
        channels[0] = left.get();
        channels[1] = right.get();
    }

    /** The frame the next input frame goes to. */
    int getWriteIndex() const noexcept          { return writeIndex.get(); }
    void setWriteIndex (int index) noexcept     { writeIndex = wrap (index); }

    void write (int channel, float value) noexcept   { channels[channel][writeIndex.get()] = value; }

    void advance() noexcept
    {
        const int w = writeIndex.get();
        writeIndex = w < lastIndex ? w + 1 : 0;
    }

    const float* getChannel (int channel) const noexcept  { return channels[channel]; }

    /** Ring index for any integer, wrapping in both directions. */
    static int wrap (int index) noexcept
    {
        index %= numFrames;
        return index < 0 ? index + numFrames : index;
    }

private:
    ZeroedStorage<float> left, right;
    float* channels[numChannels] {};
    SharedInt writeIndex { 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CaptureBuffer)
};
