// libFuzzer entry: every input is tried as a saved state and as a bank file
// whose every preset is applied, each followed by a block with a note held.
//
// Set OVARN_FUZZ_REQUIRE_FINITE=1 to treat a non-finite output sample as a crash.

#include "FuzzHarness.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
    std::string scratchFolder;

    void removeScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all (scratchFolder, ignored);
    }
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // The processor writes its default bank file under the home folder and the
    // harness its bank file into the temporary folder: both go to a scratch
    // folder of this run, away from the real home.
    char pattern[] = "/tmp/ovarn-fuzz-XXXXXX";

    if (mkdtemp (pattern) == nullptr)
        std::abort();

    scratchFolder = pattern;
    setenv ("HOME", pattern, 1);
    setenv ("TMPDIR", pattern, 1);
    std::atexit (removeScratchFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    static auto* juceInitialiser = new juce::ScopedJuceInitialiser_GUI();
    static auto* harness = new FuzzHarness();
    static const bool requireFinite = std::getenv ("OVARN_FUZZ_REQUIRE_FINITE") != nullptr;
    juce::ignoreUnused (juceInitialiser);

    if (! harness->run (data, size) && requireFinite)
        std::abort();

    return 0;
}
