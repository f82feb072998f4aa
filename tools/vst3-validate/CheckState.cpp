#include "Checks.h"
#include "Instance.h"
#include "ProcessRig.h"
#include "Report.h"

#include <public.sdk/source/common/memorystream.h>

#include <atomic>
#include <cmath>
#include <thread>

using namespace Steinberg;

namespace
{
/** Random values for every writable parameter, sent the way a host automates: to the component
    through process and to the controller directly. Returns the values in list order (read-only
    parameters keep their current value).
*/
std::vector<double> sendRandomValues (PluginInstance& instance, ProcessRig& rig, std::mt19937& rng)
{
    std::uniform_real_distribution<double> unit (0.0, 1.0);
    auto values = instance.readControllerValues();

    for (std::size_t i = 0; i < instance.parameters.size(); ++i)
    {
        const auto& p = instance.parameters[i];

        if ((p.flags & Vst::ParameterInfo::kIsReadOnly) != 0)
            continue;

        values[i] = snapToStep (unit (rng), p.stepCount);
        rig.queueChange (p.id, values[i]);
        instance.controller->setParamNormalized (p.id, values[i]);
    }

    rig.process (rig.getMaxBlockSize(), ProcessRig::Signal::noise, false);
    rig.process (rig.getMaxBlockSize(), ProcessRig::Signal::noise, false);
    return values;
}

void compareValues (const PluginInstance& instance, const std::vector<double>& actual,
                    const std::vector<double>& expected, double continuousTolerance, const std::string& what)
{
    for (std::size_t i = 0; i < instance.parameters.size() && i < actual.size() && i < expected.size(); ++i)
    {
        const auto& p = instance.parameters[i];
        const auto tolerance = p.stepCount > 0 ? 1e-6 : continuousTolerance;

        if ((p.flags & Vst::ParameterInfo::kIsReadOnly) == 0)
            report::expect (std::abs (actual[i] - expected[i]) <= tolerance,
                            describeParameter (p) + " " + what + ": " + std::to_string (actual[i]) + ", expected "
                                + std::to_string (expected[i]));
    }
}

std::vector<Bytes> garbageStates (const Bytes& valid, std::mt19937& rng)
{
    std::vector<Bytes> garbage { {}, Bytes (1, 0xFF), Bytes (4096, 0) };

    for (const std::size_t size :
         { std::size_t { 3 }, std::size_t { 16 }, std::size_t { 1000 }, std::size_t { 65536 } })
    {
        Bytes random (size);

        for (auto& b : random)
            b = (std::uint8_t) rng();

        garbage.push_back (random);
    }

    // A valid state cut short, and a valid state with its start overwritten.
    if (valid.size() > 1)
        garbage.emplace_back (valid.begin(), valid.begin() + (long) (valid.size() / 2));

    if (valid.size() > 8)
    {
        auto damaged = valid;

        for (std::size_t i = 0; i < 8; ++i)
            damaged[i] = (std::uint8_t) rng();

        garbage.push_back (damaged);
    }

    return garbage;
}
} // namespace

void checkState (const Options& options)
{
    auto module = loadModuleForCheck (options);

    if (module == nullptr)
        return;

    ValidatorHost host;
    std::mt19937 rng (options.seed);

    report::setStep ("create instance");
    PluginInstance instance (*module->getFactory(), &host);

    if (! instance.isValid())
        return;

    ProcessRig rig (instance, rng, options.outputBound);

    if (! rig.start (48000.0, 512))
        return;

    const auto rounds = options.iterations (2);

    for (int round = 0; round < rounds; ++round)
    {
        report::setStep ("state round trip " + std::to_string (round + 1) + " of " + std::to_string (rounds));
        const auto sent = sendRandomValues (instance, rig, rng);

        Bytes saved;

        if (! instance.saveComponentState (saved))
            return;

        // The controller learns the saved state as it would when a project is loaded.
        tresult controllerResult = kResultOk;
        report::expect (instance.loadComponentState (saved, &controllerResult) == kResultOk,
                        "the component refused its own state");
        report::expect (controllerResult == kResultOk || controllerResult == kNotImplemented,
                        "the controller refused the component's state");
        const auto before = instance.readControllerValues();
        compareValues (instance, before, sent, 1e-3, "after saving and restoring differs from what was sent");

        sendRandomValues (instance, rig, rng);
        report::expect (instance.loadComponentState (saved, &controllerResult) == kResultOk,
                        "the component refused its own state");
        compareValues (instance, instance.readControllerValues(), before, 1e-6, "does not come back from the state");

        Bytes again;
        instance.saveComponentState (again);
        report::expect (again == saved, "saving a restored state gives other data (" + std::to_string (again.size())
                                            + " bytes instead of " + std::to_string (saved.size()) + ")");
        rig.process (rig.getMaxBlockSize(), ProcessRig::Signal::fullScale, true);

        // A project opened in a new instance.
        if (round % 4 == 0)
        {
            report::setStep ("state into a new instance, round " + std::to_string (round + 1));
            PluginInstance fresh (*module->getFactory(), &host);

            if (fresh.isValid())
            {
                report::expect (fresh.loadComponentState (saved) == kResultOk, "a new instance refused the state");
                compareValues (fresh, fresh.readControllerValues(), before, 1e-6,
                               "differs in a new instance that loaded the state");
                Bytes fromFresh;
                fresh.saveComponentState (fromFresh);
                report::expect (fromFresh == saved, "a new instance that loaded the state saves other data");
            }
        }
    }

    report::setStep ("controller state round trip");
    {
        const auto first = instance.saveControllerState();
        Bytes copy (first);
        IPtr<MemoryStream> stream = owned (new MemoryStream (copy.data(), (TSize) copy.size()));
        const auto result = instance.controller->setState (stream);
        report::expect (result == kResultOk || result == kNotImplemented, "the controller refused its own state");
        report::expect (instance.saveControllerState() == first, "the controller's state does not round-trip");
    }

    Bytes baseline;

    if (! instance.saveComponentState (baseline))
        return;

    const auto garbage = garbageStates (baseline, rng);

    for (std::size_t g = 0; g < garbage.size(); ++g)
    {
        report::setStep ("garbage state " + std::to_string (g + 1) + " (" + std::to_string (garbage[g].size())
                         + " bytes)");
        instance.loadComponentState (garbage[g]);

        Bytes after;
        instance.saveComponentState (after);
        report::expect (after == baseline, "a garbage state of " + std::to_string (garbage[g].size())
                                               + " bytes was not rejected: the saved state changed");
        rig.process (rig.getMaxBlockSize(), ProcessRig::Signal::noise, false);
    }

    // Hosts save and restore from the UI thread while audio runs on another.
    if (options.strictness >= 5)
    {
        report::setStep ("saving and restoring while processing");
        std::atomic<bool> running { true };
        std::atomic<bool> audioFailed { false };
        ProcessRig* audioRig = &rig;

        std::thread audio (
            [&]
            {
                while (running.load())
                    if (! audioRig->process (audioRig->getMaxBlockSize(), ProcessRig::Signal::noise, false))
                        audioFailed = true;
            });

        for (int i = 0; i < options.iterations (10); ++i)
        {
            Bytes state;
            instance.saveComponentState (state);
            instance.loadComponentState (i % 2 == 0 ? state : baseline);
        }

        running = false;
        audio.join();
        report::expect (! audioFailed.load(), "processing failed while the state was saved and restored");
    }

    rig.stop();
}
