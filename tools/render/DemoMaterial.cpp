#include "DemoMaterial.h"

#include <cmath>

namespace
{
    struct Vowel
    {
        std::array<double, 4> frequency, gain;
    };

    // Formant frequencies and the relative levels of their peaks in a low male voice.
    constexpr Vowel vowelA { { 730.0, 1090.0, 2440.0, 3400.0 }, { 1.0, 0.60, 0.25, 0.12 } };
    constexpr Vowel vowelE { { 530.0, 1840.0, 2480.0, 3500.0 }, { 1.0, 0.45, 0.35, 0.15 } };
    constexpr Vowel vowelI { { 270.0, 2290.0, 3010.0, 3600.0 }, { 1.0, 0.30, 0.35, 0.20 } };
    constexpr Vowel vowelO { { 570.0,  840.0, 2410.0, 3400.0 }, { 1.0, 0.70, 0.15, 0.08 } };
    constexpr Vowel vowelU { { 300.0,  870.0, 2240.0, 3300.0 }, { 1.0, 0.40, 0.08, 0.05 } };
    constexpr std::array<double, 4> bandwidths { 70.0, 90.0, 130.0, 180.0 };

    struct Keyframe
    {
        double seconds;
        const Vowel* vowel;
    };

    // Each vowel is held, then glides into the next.
    constexpr Keyframe timeline[] = {
        { 0.0, &vowelA }, { 1.3, &vowelA }, { 1.9, &vowelE }, { 2.8, &vowelE }, { 3.4, &vowelI },
        { 4.3, &vowelI }, { 4.9, &vowelO }, { 5.9, &vowelO }, { 6.5, &vowelU }, { 8.0, &vowelU }
    };

    Vowel vowelAt (double seconds)
    {
        const auto numKeys = (int) std::size (timeline);

        for (int k = 0; k + 1 < numKeys; ++k)
        {
            const auto& a = timeline[k];
            const auto& b = timeline[k + 1];

            if (seconds < b.seconds)
            {
                auto x = juce::jlimit (0.0, 1.0, (seconds - a.seconds) / (b.seconds - a.seconds));
                x = x * x * (3.0 - 2.0 * x);   // smoothstep: glides start and end softly
                Vowel v {};

                for (size_t i = 0; i < 4; ++i)
                {
                    // Frequencies glide in log space, like a voice.
                    v.frequency[i] = a.vowel->frequency[i] * std::pow (b.vowel->frequency[i] / a.vowel->frequency[i], x);
                    v.gain[i] = a.vowel->gain[i] + (b.vowel->gain[i] - a.vowel->gain[i]) * x;
                }

                return v;
            }
        }

        return *timeline[numKeys - 1].vowel;
    }

    /** Band-pass with 0 dB gain at its centre, transposed direct form II. */
    struct Resonator
    {
        double b0 = 0, b2 = 0, a1 = 0, a2 = 0, z1 = 0, z2 = 0;

        void set (double frequency, double bandwidth, double sampleRate)
        {
            const auto w0 = juce::MathConstants<double>::twoPi * frequency / sampleRate;
            const auto alpha = std::sin (w0) * bandwidth / (2.0 * frequency);
            const auto a0 = 1.0 + alpha;
            b0 = alpha / a0;
            b2 = -alpha / a0;
            a1 = -2.0 * std::cos (w0) / a0;
            a2 = (1.0 - alpha) / a0;
        }

        double process (double x)
        {
            const auto y = b0 * x + z1;
            z1 = -a1 * y + z2;
            z2 = b2 * x - a2 * y;
            return y;
        }
    };

    /** PolyBLEP correction for a sawtooth's step at phase 0 (t and dt in cycles). */
    double polyBlep (double t, double dt)
    {
        if (t < dt)
        {
            t /= dt;
            return t + t - t * t - 1.0;
        }

        if (t > 1.0 - dt)
        {
            t = (t - 1.0) / dt;
            return t * t + t + t + 1.0;
        }

        return 0.0;
    }
}

namespace DemoMaterial
{

std::array<double, 4> getFormantsAt (double seconds)
{
    return vowelAt (seconds).frequency;
}

juce::AudioBuffer<float> makeSound (double sampleRate)
{
    const auto numSamples = (int) std::llround (lengthSeconds * sampleRate);
    juce::AudioBuffer<float> buffer (1, numSamples);
    auto* out = buffer.getWritePointer (0);

    constexpr double baseFrequency = 110.0;     // A2
    constexpr double peakLevel = 0.3;           // leaves room for chords of frozen voices on top
    constexpr int coefficientInterval = 16;
    const auto twoPi = juce::MathConstants<double>::twoPi;

    std::array<Resonator, 4> formants;
    std::array<double, 4> gains {};
    double phase = 0.0, tilt = 0.0, peak = 0.0;
    const auto tiltCoefficient = 1.0 - std::exp (-twoPi * 4000.0 / sampleRate);
    juce::uint32 noiseState = 0x2545f491u;

    for (int s = 0; s < numSamples; ++s)
    {
        const auto t = s / sampleRate;

        if (s % coefficientInterval == 0)
        {
            const auto v = vowelAt (t);

            for (size_t i = 0; i < 4; ++i)
            {
                formants[i].set (v.frequency[i], bandwidths[i], sampleRate);
                // The source falls with frequency: lift each resonance by its frequency so
                // that the peaks come out at the vowel's levels.
                gains[i] = v.gain[i] * v.frequency[i] / 500.0;
            }
        }

        // Vibrato of a quarter semitone at 5.3 Hz that sets in over the first second.
        const auto vibratoDepth = 0.25 * juce::jlimit (0.0, 1.0, t - 0.2);
        const auto frequency = baseFrequency * std::pow (2.0, vibratoDepth * std::sin (twoPi * 5.3 * t) / 12.0);
        const auto dt = frequency / sampleRate;

        // Source: a band-limited falling sawtooth (falling 6 dB per octave, like a voice
        // radiated from the mouth), softened above 4 kHz, plus a little breath.
        auto source = 1.0 - 2.0 * phase + polyBlep (phase, dt);
        phase += dt;
        phase -= std::floor (phase);

        noiseState = noiseState * 1664525u + 1013904223u;
        source += 0.03 * ((double) (noiseState >> 8) / 8388608.0 - 1.0);

        tilt += tiltCoefficient * (source - tilt);

        double y = 0.0;
        for (size_t i = 0; i < 4; ++i)
            y += gains[i] * formants[i].process (tilt);

        // Raised-cosine fade in and out.
        const auto fadeIn = juce::jlimit (0.0, 1.0, t / 0.08);
        const auto fadeOut = juce::jlimit (0.0, 1.0, (lengthSeconds - t) / 0.4);
        const auto envelope = (0.5 - 0.5 * std::cos (juce::MathConstants<double>::pi * fadeIn))
                            * (0.5 - 0.5 * std::cos (juce::MathConstants<double>::pi * fadeOut));

        y *= envelope;
        out[s] = (float) y;
        peak = std::max (peak, std::abs (y));
    }

    if (peak > 0.0)
        buffer.applyGain ((float) (peakLevel / peak));

    return buffer;
}

std::vector<NoteEvent> makePhrase()
{
    std::vector<NoteEvent> notes;
    const auto add = [&notes] (int note, double start, double end, int velocity)
    {
        notes.push_back ({ note, start, end, velocity, 1 });
    };

    // A held note on the open "a".
    add (57, 0.30, 2.00, 100);   // A3

    // A legato line through "e" and "i": each note starts before the previous one ends.
    add (60, 2.30, 2.85, 96);    // C4
    add (62, 2.80, 3.35, 92);    // D4
    add (64, 3.30, 3.85, 96);    // E4
    add (67, 3.80, 4.60, 100);   // G4

    // A chord on "o", held into the "u".
    add (45, 5.00, 7.20, 90);    // A2
    add (52, 5.00, 7.20, 90);    // E3
    add (57, 5.00, 7.20, 90);    // A3
    add (61, 5.00, 7.20, 90);    // C#4

    return notes;
}

} // namespace DemoMaterial
