#include "Checks.h"
#include "Instance.h"
#include "ProcessRig.h"
#include "Report.h"

#include <pluginterfaces/vst/ivstunits.h>
#include <pluginterfaces/vst/vstspeaker.h>

#include <cmath>
#include <cstring>
#include <set>

using namespace Steinberg;

namespace
{
void checkControllerClass (IPluginFactory& factory, PluginInstance& instance)
{
    report::setStep ("controller class");

    if (! instance.separateController)
        return;

    TUID controllerId {};
    instance.component->getControllerClassId (controllerId);
    bool listed = false;

    for (int32 i = 0; i < factory.countClasses(); ++i)
    {
        PClassInfo info {};

        if (factory.getClassInfo (i, &info) == kResultOk && std::memcmp (info.cid, controllerId, sizeof (TUID)) == 0)
            listed = std::strcmp (info.category, kVstComponentControllerClass) == 0;
    }

    report::expect (listed, std::string ("the controller class the component names is not listed as a \"")
                                + kVstComponentControllerClass + "\"");
}

void checkParameterList (PluginInstance& instance, const Options& options)
{
    report::setStep ("parameter list");
    auto& controller = *instance.controller;
    std::set<Vst::ParamID> ids;
    int bypassCount = 0;

    report::info (std::to_string (instance.parameters.size()) + " parameters");

    for (const auto& p : instance.parameters)
    {
        const auto name = describeParameter (p);
        report::info (name + ": steps " + std::to_string (p.stepCount) + ", default "
                      + std::to_string (p.defaultNormalizedValue) + ", flags " + std::to_string (p.flags));

        report::expect (ids.insert (p.id).second, name + " repeats an ID");
        report::expect (p.id != Vst::kNoParamId, name + " uses the reserved ID kNoParamId");
        report::expect (toUtf8 (p.title).size() > 0, "parameter " + std::to_string (p.id) + " has no title");
        report::expect (p.defaultNormalizedValue >= 0.0 && p.defaultNormalizedValue <= 1.0,
                        name + " has a default outside 0..1: " + std::to_string (p.defaultNormalizedValue));
        report::expect (p.stepCount >= 0 && p.stepCount <= (1 << 24),
                        name + " has an unreasonable step count " + std::to_string (p.stepCount));

        const auto current = controller.getParamNormalized (p.id);
        report::expect (current >= 0.0 && current <= 1.0,
                        name + " reads " + std::to_string (current) + ", outside 0..1");

        // A fresh instance starts at its defaults (a program selector may start elsewhere).
        if ((p.flags & (Vst::ParameterInfo::kIsProgramChange | Vst::ParameterInfo::kIsReadOnly)) == 0)
            report::expect (std::abs (current - p.defaultNormalizedValue) < 1e-6,
                            name + " starts at " + std::to_string (current) + " instead of its default "
                                + std::to_string (p.defaultNormalizedValue));

        if ((p.flags & Vst::ParameterInfo::kIsBypass) != 0)
        {
            ++bypassCount;
            report::expect (p.stepCount == 1, name + " is the bypass but is not a switch (step count "
                                                  + std::to_string (p.stepCount) + ")");
        }

        // Values to try: the ends, the default, and for stepped parameters every step (up to 64).
        std::vector<double> values { 0.0, 1.0, p.defaultNormalizedValue, 0.25, 0.5, 0.75 };

        if (p.stepCount > 0 && p.stepCount <= 64)
        {
            values.clear();

            for (int32 k = 0; k <= p.stepCount; ++k)
                values.push_back ((double) k / p.stepCount);
        }

        for (const auto v : values)
        {
            Vst::String128 text {};
            const auto context = name + " at " + std::to_string (v);

            if (! report::expect (controller.getParamStringByValue (p.id, v, text) == kResultOk,
                                  "getParamStringByValue failed for " + context))
                continue;

            const auto plain = controller.normalizedParamToPlain (p.id, v);
            const auto back = controller.plainParamToNormalized (p.id, plain);
            report::expect (std::isfinite (plain) && std::abs (back - v) < 1e-6,
                            "normalized → plain → normalized gives " + std::to_string (back) + " for " + context);

            // Text → value → text must settle on the same text: a host edits values as text.
            if (options.strictness >= 3)
            {
                Vst::ParamValue parsed = -1.0;

                if (report::expect (controller.getParamValueByString (p.id, text, parsed) == kResultOk,
                                    "getParamValueByString rejects its own text \"" + toUtf8 (text) + "\" for "
                                        + context))
                {
                    Vst::String128 again {};
                    controller.getParamStringByValue (p.id, parsed, again);
                    report::expect (parsed >= 0.0 && parsed <= 1.0 && toUtf8 (again) == toUtf8 (text),
                                    "text \"" + toUtf8 (text) + "\" reads back as " + std::to_string (parsed) + " (\""
                                        + toUtf8 (again) + "\") for " + context);
                }
            }
        }

        // The controller keeps what the host sets (stepped parameters may snap to their step).
        if ((p.flags & Vst::ParameterInfo::kIsReadOnly) == 0)
        {
            for (const auto v : { 0.0, 1.0, 0.3 })
            {
                report::expect (controller.setParamNormalized (p.id, v) == kResultOk,
                                "setParamNormalized failed for " + name);
                const auto read = controller.getParamNormalized (p.id);
                const auto tolerance = p.stepCount > 0 ? 0.5 / p.stepCount + 1e-9 : 1e-3;
                report::expect (std::abs (read - v) <= tolerance,
                                name + " set to " + std::to_string (v) + " reads " + std::to_string (read));
            }

            controller.setParamNormalized (p.id, p.defaultNormalizedValue);
        }
    }

    report::expect (bypassCount == 1, "the controller publishes " + std::to_string (bypassCount)
                                          + " bypass parameters; hosts need exactly one");
}

void checkUnitsAndPrograms (PluginInstance& instance)
{
    report::setStep ("units and program lists");
    FUnknownPtr<Vst::IUnitInfo> units (instance.controller);

    if (units == nullptr)
    {
        report::info ("no IUnitInfo");
        return;
    }

    std::set<Vst::UnitID> unitIds;
    std::set<Vst::ProgramListID> listIds;

    for (int32 i = 0; i < units->getProgramListCount(); ++i)
    {
        Vst::ProgramListInfo list {};

        if (! report::expect (units->getProgramListInfo (i, list) == kResultOk,
                              "getProgramListInfo " + std::to_string (i) + " failed"))
            continue;

        const auto listName = "program list " + std::to_string (list.id) + " \"" + toUtf8 (list.name) + "\"";
        listIds.insert (list.id);
        report::expect (list.programCount > 0, listName + " has no programs");

        for (int32 k = 0; k < list.programCount; ++k)
        {
            Vst::String128 name {};
            const auto result = units->getProgramName (list.id, k, name);
            report::info (listName + ", program " + std::to_string (k) + ": \"" + toUtf8 (name) + "\"");
            report::expect (result == kResultOk && toUtf8 (name).size() > 0,
                            listName + ", program " + std::to_string (k) + " has no name");
        }
    }

    const auto unitCount = units->getUnitCount();
    report::expect (unitCount >= 1, "IUnitInfo lists no units (the root unit is missing)");

    for (int32 i = 0; i < unitCount; ++i)
    {
        Vst::UnitInfo unit {};

        if (! report::expect (units->getUnitInfo (i, unit) == kResultOk,
                              "getUnitInfo " + std::to_string (i) + " failed"))
            continue;

        unitIds.insert (unit.id);

        if (unit.id == Vst::kRootUnitId)
            report::expect (unit.parentUnitId == Vst::kNoParentUnitId, "the root unit has a parent");

        report::expect (unit.programListId == Vst::kNoProgramListId || listIds.count (unit.programListId) == 1,
                        "unit " + std::to_string (unit.id) + " refers to an unknown program list");
    }

    report::expect (unitIds.count (Vst::kRootUnitId) == 1, "there is no root unit");

    for (const auto& p : instance.parameters)
        report::expect (unitIds.count (p.unitId) == 1,
                        describeParameter (p) + " belongs to unknown unit " + std::to_string (p.unitId));
}

void checkBusInfo (PluginInstance& instance)
{
    report::setStep ("bus info");
    auto& component = *instance.component;

    for (const auto direction : { Vst::kInput, Vst::kOutput })
    {
        const auto dirName = std::string (direction == Vst::kInput ? "input" : "output");
        const auto count = component.getBusCount (Vst::kAudio, direction);
        report::info (std::to_string (count) + " audio " + dirName + " buses");

        if (direction == Vst::kOutput)
            report::expect (count >= 1, "the component has no audio output bus");

        for (int32 b = 0; b < count; ++b)
        {
            Vst::BusInfo info {};

            if (! report::expect (component.getBusInfo (Vst::kAudio, direction, b, info) == kResultOk,
                                  "getBusInfo failed for audio " + dirName + " bus " + std::to_string (b)))
                continue;

            const auto busName = "audio " + dirName + " bus " + std::to_string (b) + " \"" + toUtf8 (info.name) + "\"";
            report::info (busName + ": " + std::to_string (info.channelCount) + " channels, type "
                          + std::to_string (info.busType) + ", flags " + std::to_string (info.flags));
            report::expect (info.mediaType == Vst::kAudio && info.direction == direction,
                            busName + " reports another media type or direction");
            report::expect (info.channelCount > 0, busName + " has no channels");
            report::expect (toUtf8 (info.name).size() > 0, busName + " has no name");
            report::expect (b > 0 || info.busType == Vst::kMain, busName + " is the first bus but not a main bus");

            Vst::SpeakerArrangement arrangement = 0;
            report::expect (instance.processor->getBusArrangement (direction, b, arrangement) == kResultOk
                                && Vst::SpeakerArr::getChannelCount (arrangement) == info.channelCount,
                            busName + ": getBusArrangement disagrees with the bus info");
        }

        Vst::BusInfo beyond {};
        report::expect (component.getBusInfo (Vst::kAudio, direction, count, beyond) != kResultOk,
                        "getBusInfo succeeds for audio " + dirName + " bus " + std::to_string (count)
                            + ", which does not exist");
        report::expect (component.activateBus (Vst::kAudio, direction, count + 3, true) != kResultOk,
                        "activateBus succeeds for an audio " + dirName + " bus that does not exist");

        for (int32 b = 0; b < count; ++b)
            report::expect (component.activateBus (Vst::kAudio, direction, b, true) == kResultOk,
                            "activateBus (true) failed for audio " + dirName + " bus " + std::to_string (b));
    }

    report::expect (instance.processor->canProcessSampleSize (Vst::kSample32) == kResultOk,
                    "32-bit processing is not supported");
}

struct ArrangementCase
{
    const char* name;
    Vst::SpeakerArrangement arrangement;
    bool mustAccept;
};

void checkArrangements (PluginInstance& instance, const Options& options)
{
    auto& processor = *instance.processor;
    const auto numIn = instance.component->getBusCount (Vst::kAudio, Vst::kInput);
    const auto numOut = instance.component->getBusCount (Vst::kAudio, Vst::kOutput);

    if (numOut < 1)
        return;

    std::mt19937 rng (options.seed);

    const ArrangementCase cases[] = {
        { "mono", Vst::SpeakerArr::kMono, true },   { "stereo", Vst::SpeakerArr::kStereo, true },
        { "5.1", Vst::SpeakerArr::k51, false },     { "7.1", Vst::SpeakerArr::k71CineFullRear, false },
        { "3.0", Vst::SpeakerArr::k30Cine, false }, { "stereo", Vst::SpeakerArr::kStereo, true },
    };

    for (const auto& c : cases)
    {
        report::setStep (std::string ("setBusArrangements ") + c.name);
        std::vector<Vst::SpeakerArrangement> ins ((std::size_t) numIn), outs ((std::size_t) numOut);

        for (int32 b = 0; b < numIn; ++b)
            processor.getBusArrangement (Vst::kInput, b, ins[(std::size_t) b]);

        for (int32 b = 0; b < numOut; ++b)
            processor.getBusArrangement (Vst::kOutput, b, outs[(std::size_t) b]);

        if (numIn > 0)
            ins[0] = c.arrangement;

        outs[0] = c.arrangement;

        const auto result =
            processor.setBusArrangements (ins.empty() ? nullptr : ins.data(), numIn, outs.data(), numOut);
        Vst::SpeakerArrangement now = 0;
        processor.getBusArrangement (Vst::kOutput, 0, now);
        report::info (std::string (c.name) + (result == kResultTrue ? " accepted" : " refused"));

        if (c.mustAccept)
        {
            report::expect (result == kResultTrue, std::string (c.name) + " is refused");
            report::expect (now == c.arrangement,
                            std::string (c.name) + " was accepted but the output bus reports another arrangement");
        }
        else if (result == kResultTrue)
            report::expect (now == c.arrangement,
                            std::string (c.name) + " was accepted but the output bus reports another arrangement");
        else
            report::expect (Vst::SpeakerArr::getChannelCount (now) > 0,
                            std::string (c.name) + " was refused and the output bus was left without channels");

        // Whatever arrangement is in force now must process.
        ProcessRig rig (instance, rng, options.outputBound);

        if (rig.start (48000.0, 256))
        {
            for (int i = 0; i < 4; ++i)
                rig.process (256, ProcessRig::Signal::noise, true);

            report::expect (rig.getNumOutputChannels (0) == Vst::SpeakerArr::getChannelCount (now),
                            "the output bus has another channel count than its arrangement");
        }
    }
}
} // namespace

void checkInstance (const Options& options)
{
    auto module = loadModuleForCheck (options);

    if (module == nullptr)
        return;

    ValidatorHost host;

    for (int round = 0; round < std::max (1, options.strictness / 3); ++round)
    {
        report::setStep ("create and initialise (round " + std::to_string (round + 1) + ")");
        PluginInstance instance (*module->getFactory(), &host);

        if (! instance.isValid())
            return;

        checkControllerClass (*module->getFactory(), instance);
        checkParameterList (instance, options);
        checkUnitsAndPrograms (instance);
        checkBusInfo (instance);
        checkArrangements (instance, options);
        report::setStep ("terminate (round " + std::to_string (round + 1) + ")");
    }

    // Several instances live side by side in a host.
    report::setStep ("several instances at once");
    {
        std::vector<std::unique_ptr<PluginInstance>> instances;

        for (int i = 0; i < 2 + options.strictness / 2; ++i)
            instances.push_back (std::make_unique<PluginInstance> (*module->getFactory(), &host));

        for (const auto& instance : instances)
            report::expect (instance->isValid(), "creating one of several instances failed");
    }
}
