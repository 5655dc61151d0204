#include "RenderPlot.h"
#include "NoteParsing.h"

#include <juce_dsp/juce_dsp.h>
#include <cmath>

namespace
{
    constexpr int leftMargin = 80;
    constexpr int rightMargin = 24;

    const juce::Colour background (0xff15171c);
    const juce::Colour panelColour (0xff1e2128);
    const juce::Colour gridColour (0xff343945);
    const juce::Colour labelColour (0xffc9ced8);
    const juce::Colour inputColour (0xff6fa8dc);
    const juce::Colour outputColour (0xfff0a05a);
    const juce::Colour noteColour (0xff7bd88f);

    bool canDrawText()
    {
        static const bool available = ! juce::Font::findAllTypefaceNames().isEmpty();
        return available;
    }

    void label (juce::Graphics& g, const juce::String& text, juce::Rectangle<int> area,
                juce::Justification justification, float size = 14.0f, juce::Colour colour = labelColour)
    {
        if (! canDrawText())
            return;

        g.setColour (colour);
        g.setFont (juce::Font (size));
        g.drawText (text, area, justification, false);
    }

    double durationOf (const RenderPlot::Content& c)
    {
        const auto samples = std::max ({ c.output.getNumSamples(), c.input.getNumSamples(), 1 });
        return samples / c.sampleRate;
    }

    /** Peak and RMS outline of all channels, one column per pixel. */
    void drawWaveform (juce::Graphics& g, const juce::AudioBuffer<float>& buffer, double sampleRate,
                       double duration, juce::Rectangle<int> area, juce::Colour colour)
    {
        g.setColour (panelColour);
        g.fillRect (area);

        const auto midY = (float) area.getCentreY();
        const auto halfHeight = area.getHeight() * 0.5f - 2.0f;

        g.setColour (gridColour);
        for (auto level : { -0.5f, 0.0f, 0.5f })
            g.drawHorizontalLine ((int) std::lround (midY - level * halfHeight), (float) area.getX(), (float) area.getRight());

        const auto numSamples = buffer.getNumSamples();
        const auto samplesPerColumn = duration * sampleRate / area.getWidth();

        for (int x = 0; x < area.getWidth(); ++x)
        {
            const auto s0 = (int) std::floor (x * samplesPerColumn);
            const auto s1 = std::min (numSamples, std::max (s0 + 1, (int) std::floor ((x + 1) * samplesPerColumn)));

            if (s0 >= numSamples)
                break;

            float low = 0.0f, high = 0.0f;
            double sumSquares = 0.0;

            for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
            {
                const auto* data = buffer.getReadPointer (ch);

                for (int s = s0; s < s1; ++s)
                {
                    low = std::min (low, data[s]);
                    high = std::max (high, data[s]);
                    sumSquares += (double) data[s] * data[s];
                }
            }

            const auto rms = (float) std::sqrt (sumSquares / ((s1 - s0) * std::max (1, buffer.getNumChannels())));
            const auto px = (float) (area.getX() + x);
            const auto clampY = [&] (float v) { return midY - juce::jlimit (-1.0f, 1.0f, v) * halfHeight; };

            g.setColour (colour.withAlpha (0.55f));
            g.drawVerticalLine ((int) px, clampY (high), clampY (low) + 1.0f);
            g.setColour (colour);
            g.drawVerticalLine ((int) px, clampY (rms), clampY (-rms) + 1.0f);
        }
    }

    juce::Colour heatColour (float level)   // 0..1
    {
        struct Stop { float at; juce::uint32 argb; };
        static constexpr Stop stops[] = {
            { 0.00f, 0xff08080f }, { 0.25f, 0xff2a1670 }, { 0.50f, 0xff962078 },
            { 0.75f, 0xfff0782a }, { 1.00f, 0xfffff5a0 } };

        level = juce::jlimit (0.0f, 1.0f, level);

        for (size_t i = 1; i < std::size (stops); ++i)
            if (level <= stops[i].at)
                return juce::Colour (stops[i - 1].argb)
                           .interpolatedWith (juce::Colour (stops[i].argb),
                                              (level - stops[i - 1].at) / (stops[i].at - stops[i - 1].at));

        return juce::Colour (stops[std::size (stops) - 1].argb);
    }

    void drawSpectrogram (juce::Graphics& g, const juce::AudioBuffer<float>& buffer, double sampleRate,
                          double duration, juce::Rectangle<int> area)
    {
        const int order = sampleRate > 50000.0 ? 12 : 11;
        const int size = 1 << order;
        juce::dsp::FFT fft (order);
        juce::dsp::WindowingFunction<float> window ((size_t) size, juce::dsp::WindowingFunction<float>::hann, false);
        std::vector<float> frame ((size_t) size * 2);

        const auto numSamples = buffer.getNumSamples();
        const auto numChannels = buffer.getNumChannels();
        const auto binHz = sampleRate / size;
        const auto maxHz = RenderPlot::getMaxHz (sampleRate);
        const auto fullScale = size / 4.0;   // a full-scale sine's peak under a Hann window
        constexpr float floorDb = -96.0f;

        // Frequency span of each pixel row, top row highest.
        std::vector<std::pair<double, double>> rowBins ((size_t) area.getHeight());
        const auto logMin = std::log (RenderPlot::minHz), logMax = std::log (maxHz);

        for (int y = 0; y < area.getHeight(); ++y)
        {
            const auto hzAt = [&] (double row) { return std::exp (logMax - (logMax - logMin) * row / area.getHeight()); };
            rowBins[(size_t) y] = { hzAt (y + 1.0) / binHz, hzAt (y) / binHz };
        }

        juce::Image column (juce::Image::RGB, 1, area.getHeight(), false);

        for (int x = 0; x < area.getWidth(); ++x)
        {
            const auto centre = (juce::int64) std::llround ((x + 0.5) / area.getWidth() * duration * sampleRate);
            std::fill (frame.begin(), frame.end(), 0.0f);

            for (int i = 0; i < size; ++i)
            {
                const auto s = centre - size / 2 + i;

                if (s < 0 || s >= numSamples)
                    continue;

                float sum = 0.0f;
                for (int ch = 0; ch < numChannels; ++ch)
                    sum += buffer.getSample (ch, (int) s);

                frame[(size_t) i] = sum / (float) numChannels;
            }

            window.multiplyWithWindowingTable (frame.data(), (size_t) size);
            fft.performFrequencyOnlyForwardTransform (frame.data(), true);

            for (int y = 0; y < area.getHeight(); ++y)
            {
                const auto [lowBin, highBin] = rowBins[(size_t) y];
                double magnitude;

                if (highBin - lowBin < 1.0)
                {
                    // Narrower than a bin: interpolate at the row's centre.
                    const auto b = juce::jlimit (0.0, size / 2.0 - 1.001, 0.5 * (lowBin + highBin));
                    const auto i = (size_t) b;
                    magnitude = frame[i] + (frame[i + 1] - frame[i]) * (b - (double) i);
                }
                else
                {
                    magnitude = 0.0;
                    for (auto i = (int) std::ceil (lowBin); i <= (int) highBin && i <= size / 2; ++i)
                        magnitude = std::max (magnitude, (double) frame[(size_t) i]);
                }

                const auto db = (float) juce::Decibels::gainToDecibels (magnitude / fullScale, (double) floorDb);
                column.setPixelAt (0, y, heatColour (1.0f - db / floorDb));
            }

            g.drawImageAt (column, area.getX() + x, area.getY());
        }
    }

    void drawNoteLane (juce::Graphics& g, const std::vector<NoteEvent>& notes, double duration, juce::Rectangle<int> area)
    {
        g.setColour (panelColour);
        g.fillRect (area);

        if (notes.empty())
            return;

        auto lowest = 127, highest = 0;
        for (const auto& n : notes)
        {
            lowest = std::min (lowest, n.noteNumber);
            highest = std::max (highest, n.noteNumber);
        }

        const auto rows = highest - lowest + 1;
        const auto rowHeight = std::min (16.0f, (area.getHeight() - 4.0f) / rows);
        const auto top = area.getCentreY() - rowHeight * rows * 0.5f;

        for (const auto& n : notes)
        {
            const auto x0 = RenderPlot::timeToX (n.startSeconds, duration);
            const auto x1 = std::max (x0 + 2.0f, RenderPlot::timeToX (n.endSeconds, duration));
            const auto y = top + (highest - n.noteNumber) * rowHeight;
            const juce::Rectangle<float> box (x0, y + 1.0f, x1 - x0, std::max (1.0f, rowHeight - 2.0f));

            g.setColour (noteColour.withAlpha (0.35f + 0.65f * n.velocity / 127.0f));
            g.fillRect (box);

            if (rowHeight >= 10.0f && box.getWidth() > 34.0f)
                label (g, NoteParsing::getNoteName (n.noteNumber), box.toNearestInt().withTrimmedLeft (3),
                       juce::Justification::centredLeft, std::min (13.0f, rowHeight - 1.0f), juce::Colours::black);
        }
    }

    double tickStep (double duration)
    {
        for (auto step : { 0.05, 0.1, 0.2, 0.25, 0.5, 1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0 })
            if (duration / step <= 16.0)
                return step;
        return 600.0;
    }
}

namespace RenderPlot
{

Layout getLayout()
{
    const auto band = [] (int top, int h) { return juce::Rectangle<int> (leftMargin, top, width - leftMargin - rightMargin, h); };
    return { juce::Rectangle<int> (0, 0, width, 40),
             band (50, 180),     // input
             band (250, 180),    // output
             band (450, 330),    // spectrogram
             band (800, 140),    // notes
             band (940, 40) };   // time axis
}

float timeToX (double seconds, double durationSeconds)
{
    const auto area = getLayout().input;
    return (float) (area.getX() + seconds / durationSeconds * area.getWidth());
}

double getMaxHz (double sampleRate)
{
    return std::min (20000.0, sampleRate * 0.5);
}

float frequencyToY (double hz, double maxHz)
{
    const auto area = getLayout().spectrogram;
    const auto position = std::log (hz / minHz) / std::log (maxHz / minHz);
    return (float) (area.getBottom() - position * area.getHeight());
}

juce::Image draw (const Content& content)
{
    const auto layout = getLayout();
    const auto duration = durationOf (content);

    juce::Image image (juce::Image::RGB, width, height, true);
    juce::Graphics g (image);
    g.fillAll (background);

    label (g, content.title, layout.title.reduced (leftMargin, 0).withX (leftMargin), juce::Justification::centredLeft, 18.0f);

    drawWaveform (g, content.input, content.sampleRate, duration, layout.input, inputColour);
    drawWaveform (g, content.output, content.sampleRate, duration, layout.output, outputColour);
    drawSpectrogram (g, content.output, content.sampleRate, duration, layout.spectrogram);
    drawNoteLane (g, content.notes, duration, layout.notes);

    // Note starts across every panel.
    g.setColour (noteColour.withAlpha (0.35f));
    for (const auto& n : content.notes)
    {
        const auto x = (int) std::lround (timeToX (n.startSeconds, duration));
        for (auto area : { layout.input, layout.output, layout.spectrogram })
            g.drawVerticalLine (x, (float) area.getY(), (float) area.getBottom());
    }

    // Panel names, left of each panel.
    const auto side = [&] (juce::Rectangle<int> area, const juce::String& text)
    {
        label (g, text, { 4, area.getY(), leftMargin - 8, 20 }, juce::Justification::topRight, 13.0f);
    };
    side (layout.input, "input");
    side (layout.output, "output");
    side (layout.spectrogram, "output");
    side (layout.spectrogram.withTrimmedTop (16), "spectrum");
    side (layout.notes, "notes");

    // Frequency scale of the spectrogram.
    const auto maxHz = getMaxHz (content.sampleRate);
    for (auto hz : { 100.0, 300.0, 1000.0, 3000.0, 10000.0 })
    {
        if (hz >= maxHz)
            continue;

        const auto y = (int) std::lround (frequencyToY (hz, maxHz));
        g.setColour (labelColour.withAlpha (0.6f));
        g.drawHorizontalLine (y, (float) (layout.spectrogram.getX() - 6), (float) layout.spectrogram.getX());
        label (g, hz >= 1000.0 ? juce::String ((int) (hz / 1000)) + " kHz" : juce::String ((int) hz) + " Hz",
               { 4, y - 8, leftMargin - 12, 16 }, juce::Justification::centredRight, 12.0f);
    }

    // Time axis.
    const auto axis = layout.timeAxis;
    g.setColour (labelColour);
    g.drawHorizontalLine (axis.getY(), (float) axis.getX(), (float) axis.getRight());

    const auto step = tickStep (duration);
    for (int i = 0; i * step <= duration + 1e-9; ++i)
    {
        const auto t = i * step;
        const auto x = (int) std::lround (timeToX (t, duration));
        g.setColour (labelColour);
        g.drawVerticalLine (x, (float) axis.getY(), (float) axis.getY() + 6.0f);
        g.setColour (gridColour.withAlpha (0.5f));
        g.drawVerticalLine (x, (float) layout.notes.getY(), (float) layout.notes.getBottom());
        label (g, juce::String (t, step < 1.0 ? 2 : 0) + " s", { x - 40, axis.getY() + 8, 80, 18 },
               juce::Justification::centredTop, 13.0f);
    }

    return image;
}

bool writePng (const juce::Image& image, juce::OutputStream& stream)
{
    juce::PNGImageFormat png;
    return png.writeImageToStream (image, stream);
}

} // namespace RenderPlot
