#pragma once

#include <cstdint>
#include <memory>
#include <string>

class PluginModule;

/** What the validator was asked to check. */
struct Options
{
    std::string bundlePath;
    int strictness = 5; // 1 (quick) … 10 (everything, many iterations)
    std::uint32_t seed = 1;
    bool verbose = false;
    bool requireEditor = false;
    double outputBound = 32.0; // largest |sample| accepted at the output (about +30 dBFS)

    // Expected identity; an empty expectation is not checked.
    std::string vendor, url, name, version, subCategories;
    std::string latencyParameter; // title of a parameter that must change the latency
    std::string group;            // run only this check group (empty: all)

    /** Scales an iteration count with the strictness: base at 1, base × 10 at 10. */
    int iterations (int base) const { return base * strictness; }
};

/** Loads the bundle for a check group, reporting a failure (and returning null) when it cannot. */
std::unique_ptr<PluginModule> loadModuleForCheck (const Options&);

// Each check group runs in a child process of its own and reports through report::fail.
void checkModule (const Options&);
void checkInstance (const Options&);
void checkProcessing (const Options&);
void checkState (const Options&);
void checkLatency (const Options&);
void checkEditor (const Options&);
