#include "Checks.h"
#include "Instance.h"
#include "ProcessRig.h"
#include "Report.h"

#include <cmath>

using namespace Steinberg;

namespace
{
constexpr double rate = 48000.0;
constexpr int blockSize = 512;

bool latencyRestartSignalled (ComponentHandler& handler, RunLoop& loop, std::chrono::milliseconds timeout)
{
    bool signalled = false;
    loop.pumpUntil (
        [&]
        {
            signalled = signalled || (handler.takeRestartFlags() & Vst::kLatencyChanged) != 0;
            return signalled;
        },
        timeout);
    return signalled;
}
/** With the bypass on, a plug-in that reports latency must still delay by that latency: the host
    compensates for it, so an undelayed bypass puts the track early. Finds the delay at which the
    bypassed output copies the input and compares it with the reported latency.
*/
void checkBypassKeepsLatency (PluginInstance& instance, ProcessRig& rig)
{
    report::setStep ("bypassed output keeps the reported latency");
    const auto* bypass = instance.findBypass();

    if (bypass == nullptr || rig.getNumOutputChannels (0) < 1)
        return;

    for (int i = 0; i < 8; ++i)
        rig.process (blockSize, ProcessRig::Signal::noise, false);

    const auto latency = (int) instance.processor->getLatencySamples();
    rig.queueChange (bypass->id, 1.0);

    // A bypass may fade over; a tenth of a second is skipped before comparing.
    const int settle = (int) (rate / 10), length = 8192;
    std::vector<double> in, out;

    while ((int) out.size() < settle + length + latency + blockSize)
    {
        rig.process (blockSize, ProcessRig::Signal::noise, false);

        for (int i = 0; i < rig.getLastBlockSize(); ++i)
        {
            in.push_back (rig.lastInputSample (0, i));
            out.push_back (rig.lastOutputSample (0, i));
        }
    }

    int foundDelay = -1;

    for (int delay = 0; delay <= latency + blockSize && foundDelay < 0; ++delay)
    {
        bool copies = true;

        for (int n = settle + delay; n < settle + delay + length && copies; ++n)
            copies = std::abs (out[(std::size_t) n] - in[(std::size_t) (n - delay)]) < 1e-5;

        if (copies)
            foundDelay = delay;
    }

    if (foundDelay < 0)
        report::info ("the bypassed output is no delayed copy of the input");
    else
        report::expect (foundDelay == latency,
                        "with the bypass on, the output is the input delayed by " + std::to_string (foundDelay)
                            + " samples, but the reported latency is " + std::to_string (latency) + " samples");

    rig.queueChange (bypass->id, 0.0);
    rig.process (blockSize, ProcessRig::Signal::noise, false);
}
} // namespace

void checkLatency (const Options& options)
{
    auto module = loadModuleForCheck (options);

    if (module == nullptr)
        return;

    ValidatorHost host;
    std::mt19937 rng (options.seed);
    RunLoop loop;

    report::setStep ("create instance");
    PluginInstance instance (*module->getFactory(), &host);

    if (! instance.isValid())
        return;

    // The named parameter, or else every stepped parameter: any of them may change the latency.
    std::vector<const Vst::ParameterInfo*> candidates;

    if (! options.latencyParameter.empty())
    {
        const auto* named = instance.findParameter (options.latencyParameter);

        if (! report::expect (named != nullptr, "there is no parameter \"" + options.latencyParameter + "\""))
            return;

        report::expect (named->stepCount > 0 && named->stepCount <= 64,
                        "\"" + options.latencyParameter + "\" is not a parameter with a few steps");
        candidates.push_back (named);
    }
    else
    {
        for (const auto& p : instance.parameters)
            if (p.stepCount > 0 && p.stepCount <= 16
                && (p.flags & (Vst::ParameterInfo::kIsReadOnly | Vst::ParameterInfo::kIsBypass)) == 0)
                candidates.push_back (&p);
    }

    ProcessRig rig (instance, rng, options.outputBound);

    if (! rig.start (rate, blockSize))
        return;

    for (int i = 0; i < 4; ++i)
        rig.process (blockSize, ProcessRig::Signal::noise, false);

    latencyRestartSignalled (instance.handler, loop, std::chrono::milliseconds (100));
    auto latency = instance.processor->getLatencySamples();
    report::info ("initial latency " + std::to_string (latency));

    for (int pass = 0; pass < std::max (1, options.strictness / 3); ++pass)
    {
        for (const auto* p : candidates)
        {
            const auto title = toUtf8 (p->title);
            int distinctChanges = 0;

            for (int32 k = 0; k <= p->stepCount + 1; ++k)
            {
                // Every step, then back to the default.
                const auto value = k <= p->stepCount ? (double) k / p->stepCount : p->defaultNormalizedValue;
                report::setStep ("latency with \"" + title + "\" at " + std::to_string (value));

                rig.queueChange (p->id, value);
                instance.controller->setParamNormalized (p->id, value);

                for (int i = 0; i < 4; ++i)
                    rig.process (blockSize, ProcessRig::Signal::noise, false);

                const auto now = instance.processor->getLatencySamples();
                report::expect (now < (uint32) (rate * 10),
                                "a latency of " + std::to_string (now) + " samples is not plausible");

                if (now == latency)
                    continue;

                ++distinctChanges;
                report::info ("latency " + std::to_string (latency) + " -> " + std::to_string (now));
                report::expect (latencyRestartSignalled (instance.handler, loop, std::chrono::seconds (2)),
                                "the latency changed from " + std::to_string (latency) + " to " + std::to_string (now)
                                    + " samples without restartComponent (kLatencyChanged)");

                // A host answers the restart by stopping and starting processing; the latency then
                // reads the same, before and after the next blocks, with no further restart.
                rig.stop();

                if (! rig.start (rate, blockSize))
                    return;

                const auto restarted = instance.processor->getLatencySamples();
                report::expect (restarted == now, "after the host restarted processing as asked, the latency reads "
                                                      + std::to_string (restarted) + " instead of "
                                                      + std::to_string (now));

                for (int i = 0; i < 4; ++i)
                    rig.process (blockSize, ProcessRig::Signal::noise, false);

                const auto settled = instance.processor->getLatencySamples();
                report::expect (settled == now, "after restarting and processing, the latency reads "
                                                    + std::to_string (settled) + " instead of " + std::to_string (now));
                report::expect (! latencyRestartSignalled (instance.handler, loop, std::chrono::milliseconds (100)),
                                "after the host restarted processing, kLatencyChanged is signalled again although "
                                "nothing changed (a host would restart again and again)");
                latency = settled;
            }

            if (! options.latencyParameter.empty())
                report::expect (distinctChanges > 0, "no value of \"" + title + "\" changes the latency");
        }
    }

    checkBypassKeepsLatency (instance, rig);
    rig.stop();
    instance.reportHandlerProblems();
}
