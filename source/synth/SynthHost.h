#pragma once

/** What a voice needs from the object that owns the synthesiser. */
class SynthHost
{
public:
    virtual ~SynthHost() = default;

    /** The sample rate given by the host's last prepareToPlay. */
    virtual double getCurrentSamplerate() const = 0;

    /** Publishes a block of samples for the loop display (called on the audio thread). */
    virtual void setSamples (const float* samples, int length) = 0;
};
