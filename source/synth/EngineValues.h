#pragma once

#include <array>
#include "SharedValue.h"

/** The 24 parameter values in their internal units, owned by the processor.

    The synthesiser and every voice keep a reference to this object and read
    the values live; nothing copies them. Declared in the processor's member
    order, which differs from the host's index order.
*/
struct ParameterValues
{
    SharedDouble pitch, pitchwup, pitchwdn, glide, wet, smooth, attack, release,
                 formant, link, lforate, lfofade, lfoshape, envdelay, envdecay, envcurve,
                 pitchlfo, formantlfo, pitchenv, formantenv, mididelay, poly, lforetrig, lfosync;

    /** The values in the host's parameter index order. */
    std::array<SharedDouble*, 24> inHostOrder() noexcept
    {
        return { &pitch, &formant, &pitchwup, &pitchwdn, &glide, &smooth, &mididelay, &pitchlfo, &formantlfo,
                 &pitchenv, &formantenv, &wet, &poly, &link, &envdelay, &envcurve, &envdecay, &lfofade,
                 &lforate, &lfoshape, &lforetrig, &lfosync, &attack, &release };
    }
};

/** Performance state the processor keeps for the voices: mod wheel, vibrato
    switch and what the host's play head said at the start of the block. */
struct PlayState
{
    SharedDouble modWheel { 0.0 };        // controller 1 / 128
    SharedBool   modVibrato { true };     // whether the mod wheel adds the LFO to the pitch
    SharedDouble barsPerSecond { 0.5 };   // host tempo in beats per minute / 240
    SharedDouble ppqPosition { 0.0 };     // host position in quarter notes at the block start
    SharedBool   hasPpqPosition { false };
};
