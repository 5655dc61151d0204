#pragma once

/** Receives every MIDI controller message the synthesiser plays, at its
    sample position, after the synthesiser's own pedal and voice handling. */
class MidiCCListener
{
public:
    virtual ~MidiCCListener() = default;
    virtual void handleController (int midiChannel, int controllerNumber, int controllerValue) = 0;
};
