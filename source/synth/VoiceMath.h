#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

/** The arithmetic of a freeze voice, free of any framework type. */
namespace VoiceMath
{
    constexpr double sixth = 1.0 / 6.0;
    constexpr double minusSixth = -1.0 / 6.0;

    /** 2^x as 2^n × e^(r ln 2), n = x truncated, e^y by its Taylor series to y^6/720.
        The exponent is held within ±1000 so that no input gives an infinity or NaN. */
    inline double exp2 (double x) noexcept
    {
        if (! (x > -1000.0)) x = -1000.0;   // also catches NaN
        if (x > 1000.0)      x = 1000.0;

        const int n = static_cast<int> (x);
        const double y = (x - n) * 0.69314718055994530942;
        const double e = 1.0 + y * (1.0 + y * (1.0 / 2.0 + y * (1.0 / 6.0 + y * (1.0 / 24.0
                                   + y * (1.0 / 120.0 + y * (1.0 / 720.0))))));
        // 2^n built in the exponent bits: exact, and cheaper than a library call
        const auto bits = static_cast<std::uint64_t> (n + 1023) << 52;
        double scale;
        std::memcpy (&scale, &bits, sizeof (scale));
        return e * scale;
    }

    /** Four-point Lagrange weights for taps i-3, i-2, i-1 and i at fraction x;
        the interpolated point lies at tap i-2 + x. */
    struct Taps
    {
        double w0, w1, w2, w3;

        static Taps at (double x) noexcept
        {
            return { x * (x - 1.0) * (x - 2.0) * minusSixth,
                     (x + 1.0) * (x - 1.0) * (x - 2.0) * 0.5,
                     (x - 2.0) * x * (x + 1.0) * -0.5,
                     x * (x + 1.0) * (x - 1.0) * sixth };
        }

        /** Weighted sum of data[i-3 .. i-1], for a fraction of 0 where tap i weighs nothing. */
        double applyBelow (const float* data, int i) const noexcept
        {
            return static_cast<double> (data[i - 3]) * w0 + static_cast<double> (data[i - 2]) * w1
                 + static_cast<double> (data[i - 1]) * w2 + 0.0 * w3;
        }

        /** Weighted sum of data[i-3 .. i]. */
        double apply (const float* data, int i) const noexcept
        {
            return static_cast<double> (data[i - 3]) * w0 + static_cast<double> (data[i - 2]) * w1
                 + static_cast<double> (data[i - 1]) * w2 + static_cast<double> (data[i]) * w3;
        }
    };

    /** The fast white-noise recurrence on two 32-bit integers; values in [-1, 1]. */
    struct Noise
    {
        std::uint32_t x1 = 0x67452301u;
        std::uint32_t x2 = 0xEFCDAB89u;
        static constexpr double scale = 2.0 / 4294967295.0;

        double next() noexcept
        {
            x1 ^= x2;
            const double v = static_cast<double> (static_cast<std::int32_t> (x2)) * scale;
            x2 += x1;
            return v;
        }
    };

    /** Parabolic sine of the LFO phase: about -sin(pi * phase) for phase in [-1, 1]. */
    inline double lfoSine (double k, double sign) noexcept
    {
        const double absK = std::abs (k);
        const double q = absK - 2.0 * std::trunc (0.5 * absK + 0.5);
        const double p = 4.0 * q * (1.0 - std::abs (q));
        const double t = p + 0.224008178776 * p * (std::abs (p) - 1.0);
        return sign * t;
    }

    /** Index into a table of `size` entries for value × scale, truncated; NaN and out-of-range values are held to the ends. */
    inline int tableIndex (double value, double scale, int size) noexcept
    {
        const double x = value * scale;
        if (! (x > 0.0))
            return 0;
        return x >= static_cast<double> (size - 1) ? size - 1 : static_cast<int> (x);
    }

    /** One-pole coefficient min(1, 1 / (seconds × rate)), safe for any input. */
    inline double onePole (double seconds, double rate) noexcept
    {
        const double k = 1.0 / (seconds * rate);
        return k >= 0.0 && k < 1.0 ? k : 1.0;
    }
}
