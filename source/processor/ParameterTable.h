#pragma once

#include <array>

/** One row of the host parameter table: the key hosts and presets use, the
    internal values at normalized 0 and 1, the default and the skew. */
struct ParameterRow
{
    const char* key;
    double atZero;
    double atOne;
    double defaultValue;
    double skew;
};

namespace ParameterIndex
{
    enum : int
    {
        pitch, formant, pitchwup, pitchwdn, glide, smooth, mididelay, pitchlfo, formantlfo,
        pitchenv, formantenv, wet, poly, link, envdelay, envcurve, envdecay, lfofade, lforate,
        lfoshape, lforetrig, lfosync, attack, release,
        count
    };
}

constexpr int numParameters = ParameterIndex::count;
constexpr int numControllers = 128;
constexpr int maxPoly = 32;

/** The host's index order. Three rows run downwards (pitchwdn, formantlfo, formantenv). */
inline constexpr std::array<ParameterRow, numParameters> parameterRows { {
    { "pitch",      -1.0,     1.0,  0.0,                      1.0  },
    { "formant",    -1.0,     1.0,  0.0,                      1.0  },
    { "pitchwup",    0.0,     1.0,  1.0 / 12.0,               1.0  },
    { "pitchwdn",    1.0,     0.0,  1.0 / 12.0,               1.0  },
    { "glide",       0.00001, 1.0,  0.00001,                  0.25 },
    { "smooth",      0.000001,1.0,  0.1,                      0.25 },
    { "mididelay",   0.0,     1.0,  0.0,                      1.0  },
    { "pitchlfo",   -1.0,     1.0,  0.0,                      1.0  },
    { "formantlfo",  1.0,    -1.0,  0.0,                      1.0  },
    { "pitchenv",   -1.0,     1.0,  0.0,                      1.0  },
    { "formantenv",  1.0,    -1.0,  0.0,                      1.0  },
    { "wet",         0.0,     1.0,  0.5,                      1.0  },
    { "poly",        0.0,    32.0,  8.0,                      1.0  },
    { "link",        0.0,     1.0,  0.0,                      1.0  },
    { "envdelay",    0.00001, 1.0,  0.4,                      0.5  },
    { "envcurve",    0.0,     1.0,  1.0,                      1.0  },
    { "envdecay",    0.00001, 1.0,  0.5,                      0.5  },
    { "lfofade",     0.00001, 1.0,  0.2,                      0.5  },
    { "lforate",     0.0001,  1.0,  0.812,                    1.0  },
    { "lfoshape",    0.0,     1.0,  0.0,                      1.0  },
    { "lforetrig",   0.0,     1.0,  1.0,                      1.0  },
    { "lfosync",     0.0,     1.0,  1.0,                      1.0  },
    { "attack",      0.00001, 1.0,  0.002,                    0.25 },
    { "release",     0.00001, 1.0,  0.002,                    0.25 },
} };
