// libFuzzer entry: every input is tried as a saved state and as a bank file
// whose every preset is applied, each followed by a block with a note held.
//
// Set OVARN_FUZZ_REQUIRE_FINITE=1 to treat a non-finite output sample as a crash.

#include "FuzzHarness.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // The processor writes its default bank file under the home folder: keep
    // the fuzzer's away from the real one.
    const auto home = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getNonexistentChildFile ("ovarn-fuzz-home", "");
    home.createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
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
