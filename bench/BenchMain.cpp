// Runs the benchmarks with a console report that ends with the per-voice cost
// of Ovarn against JUCE's SamplerVoice, as measured in this same run.

#include "../tests/TemporaryHome.h"
#include <benchmark/benchmark.h>
#include <juce_events/juce_events.h>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <unistd.h>

namespace
{
    class ComparisonReporter : public benchmark::ConsoleReporter
    {
    public:
        using benchmark::ConsoleReporter::ConsoleReporter;

        void ReportRuns (const std::vector<Run>& runs) override
        {
            ConsoleReporter::ReportRuns (runs);

            for (const auto& run : runs)
            {
                const auto voices = run.counters.find ("voices");
                const auto perBlock = run.counters.find ("us_per_block");

                if (run.error_occurred || run.run_type != Run::RT_Iteration
                    || voices == run.counters.end() || perBlock == run.counters.end())
                    continue;

                const double nsPerBlock = perBlock->second.value * 1000.0;
                auto& row = rows[(int) voices->second.value];

                // with repetitions, the least disturbed run of each counts
                auto keepBest = [nsPerBlock] (double& best) { best = best > 0.0 ? std::min (best, nsPerBlock) : nsPerBlock; };

                if (run.run_name.function_name.rfind ("Ovarn/processBlock", 0) == 0)
                    keepBest (row.ovarn);
                else if (run.run_name.function_name.rfind ("JuceSampler/", 0) == 0)
                    keepBest (row.sampler);
            }
        }

        void Finalize() override
        {
            const auto silent = rows.find (0);
            if (rows.empty() || silent == rows.end())
                return;

            auto& out = GetOutputStream();
            out << "\nPer voice-frame, Ovarn processBlock vs juce::SamplerVoice (same notes, same blocks;"
                << " best of the repetitions)\n"
                << "  voices   ovarn ns  sampler ns   ratio | without the block's fixed cost: ovarn ns  sampler ns   ratio\n";

            char line[200];

            for (const auto& [voices, row] : rows)
            {
                if (voices == 0 || row.ovarn <= 0.0 || row.sampler <= 0.0)
                    continue;

                const double frames = 512.0 * voices;   // the benchmarks' block size
                const double ovarn = row.ovarn / frames, sampler = row.sampler / frames;
                const double ovarnVoice = (row.ovarn - silent->second.ovarn) / frames;
                const double samplerVoice = (row.sampler - silent->second.sampler) / frames;
                std::snprintf (line, sizeof (line), "  %6d %10.2f %11.2f %7.2f | %40.2f %11.2f %7.2f\n",
                               voices, ovarn, sampler, ovarn / sampler, ovarnVoice, samplerVoice, ovarnVoice / samplerVoice);
                out << line;
            }
        }

    private:
        struct Row { double ovarn = 0.0, sampler = 0.0; };
        std::map<int, Row> rows;
    };
}

int main (int argc, char** argv)
{
    const TemporaryHome home ("ovarn-bench-home");

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        benchmark::Initialize (&argc, argv);

        if (benchmark::ReportUnrecognizedArguments (argc, argv))
            result = 1;
        else
        {
            ComparisonReporter reporter (isatty (STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                                : benchmark::ConsoleReporter::OO_Tabular);
            benchmark::RunSpecifiedBenchmarks (&reporter);
            benchmark::Shutdown();
        }
    }

    return result;
}
