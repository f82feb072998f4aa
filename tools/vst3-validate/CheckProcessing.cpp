#include "Checks.h"
#include "Instance.h"
#include "ProcessRig.h"
#include "Report.h"

#include <pluginterfaces/vst/vstspeaker.h>

#include <cmath>

using namespace Steinberg;

namespace
{
const std::vector<double> allRates { 8000, 11025, 22050, 44100, 48000, 88200, 96000, 176400, 192000, 352800, 384000 };
const std::vector<int> allBlockSizes { 1, 2, 3, 7, 31, 64, 128, 256, 512, 1000, 1024, 4096, 8192 };

/** count entries spread evenly over the list, always with both ends. */
template <typename T>
std::vector<T> spread (const std::vector<T>& list, std::size_t count)
{
    if (count >= list.size())
        return list;

    std::vector<T> result;

    for (std::size_t i = 0; i < count; ++i)
        result.push_back (list[count > 1 ? (i * (list.size() - 1) + (count - 1) / 2) / (count - 1) : 0]);

    return result;
}

const ProcessRig::Signal allSignals[] { ProcessRig::Signal::silence, ProcessRig::Signal::noise,
                                        ProcessRig::Signal::fullScale };

/** Blocks of the prepared size and shorter ones (hosts may send any size up to the maximum),
    with an empty block now and then, all with random automation.
*/
bool runSignals (ProcessRig& rig, std::mt19937& rng, const Options& options)
{
    const auto maxBlock = rig.getMaxBlockSize();
    const auto samplesPerSignal = std::max (4 * maxBlock, 512 * options.strictness);

    for (const auto signal : allSignals)
    {
        report::setStep ("process " + rig.where() + ", " + ProcessRig::signalName (signal));

        for (int done = 0, call = 0; done < samplesPerSignal; ++call)
        {
            int n = maxBlock;

            if (call % 5 == 4)
                n = 0;
            else if (call % 3 == 2)
                n = 1 + (int) (rng() % (unsigned) maxBlock);

            if (! rig.process (n, signal, true))
                return false;

            done += std::max (n, 1);
        }
    }

    report::setStep ("parameter flushes " + rig.where());
    return rig.flushParameters (false) && rig.flushParameters (true)
           && rig.process (maxBlock, ProcessRig::Signal::noise, true);
}

/** Every parameter at its lowest, then its highest, then random values, with full-scale input:
    the settings most likely to overflow.
*/
bool runCorners (PluginInstance& instance, ProcessRig& rig, std::mt19937& rng)
{
    std::uniform_real_distribution<double> unit (0.0, 1.0);

    for (int corner = 0; corner < 3; ++corner)
    {
        report::setStep ("extreme settings " + std::to_string (corner) + " " + rig.where());

        for (const auto& p : instance.parameters)
            if ((p.flags & (Vst::ParameterInfo::kIsReadOnly | Vst::ParameterInfo::kIsBypass)) == 0)
                rig.queueChange (p.id, corner == 0 ? 0.0 : corner == 1 ? 1.0 : unit (rng));

        for (int i = 0; i < 8; ++i)
            if (! rig.process (rig.getMaxBlockSize(), ProcessRig::Signal::fullScale, false))
                return false;
    }

    for (const auto& p : instance.parameters)
        if ((p.flags & Vst::ParameterInfo::kIsReadOnly) == 0)
            rig.queueChange (p.id, p.defaultNormalizedValue);

    return rig.process (rig.getMaxBlockSize(), ProcessRig::Signal::noise, false);
}

bool setMainArrangement (PluginInstance& instance, Vst::SpeakerArrangement arrangement)
{
    const auto numIn = instance.component->getBusCount (Vst::kAudio, Vst::kInput);
    const auto numOut = instance.component->getBusCount (Vst::kAudio, Vst::kOutput);
    std::vector<Vst::SpeakerArrangement> ins ((std::size_t) numIn), outs ((std::size_t) numOut);

    for (int32 b = 0; b < numIn; ++b)
        instance.processor->getBusArrangement (Vst::kInput, b, ins[(std::size_t) b]);

    for (int32 b = 0; b < numOut; ++b)
        instance.processor->getBusArrangement (Vst::kOutput, b, outs[(std::size_t) b]);

    if (numIn > 0)
        ins[0] = arrangement;

    if (numOut > 0)
        outs[0] = arrangement;

    return instance.processor->setBusArrangements (ins.data(), numIn, outs.data(), numOut) == kResultTrue;
}

struct Variant
{
    const char* name;
    Vst::SpeakerArrangement arrangement;
    int32 sampleSize;
    bool inPlace;
};
} // namespace

void checkProcessing (const Options& options)
{
    report::setStep ("load");
    std::string error;
    auto module = PluginModule::load (options.bundlePath, error);

    if (! report::expect (module != nullptr, "loading failed: " + error))
        return;

    ValidatorHost host;
    std::mt19937 rng (options.seed);

    const auto rates = spread (allRates, (std::size_t) (1 + options.strictness));
    const auto blockSizes = spread (allBlockSizes, (std::size_t) (3 + options.strictness));

    // Stereo at every rate and block size; the other variants at a few.
    {
        report::setStep ("create instance");
        PluginInstance instance (*module->getFactory(), &host);

        if (! instance.isValid())
            return;

        setMainArrangement (instance, Vst::SpeakerArr::kStereo);
        ProcessRig rig (instance, rng, options.outputBound);

        for (const auto rate : rates)
        {
            for (const auto block : blockSizes)
            {
                report::setStep ("prepare " + std::to_string ((int) rate) + " Hz, max block " + std::to_string (block));

                if (! rig.start (rate, block) || ! runSignals (rig, rng, options))
                    return;

                if (block == 512 && ! runCorners (instance, rig, rng))
                    return;

                rig.stop();
                instance.reportHandlerProblems();
            }
        }
    }

    const auto subsetRates = spread (allRates, 3);
    const auto subsetBlocks = spread (allBlockSizes, (std::size_t) (2 + options.strictness / 2));

    for (const auto& variant : { Variant { "mono", Vst::SpeakerArr::kMono, Vst::kSample32, false },
                                 Variant { "stereo in place", Vst::SpeakerArr::kStereo, Vst::kSample32, true },
                                 Variant { "stereo 64-bit", Vst::SpeakerArr::kStereo, Vst::kSample64, false } })
    {
        report::setStep (std::string ("create instance for ") + variant.name);
        PluginInstance instance (*module->getFactory(), &host);

        if (! instance.isValid())
            return;

        if (variant.sampleSize == Vst::kSample64
            && instance.processor->canProcessSampleSize (Vst::kSample64) != kResultTrue)
        {
            report::info ("64-bit processing not supported; skipped");
            continue;
        }

        if (! setMainArrangement (instance, variant.arrangement))
        {
            report::info (std::string (variant.name) + " arrangement refused; skipped");
            continue;
        }

        ProcessRig rig (instance, rng, options.outputBound);

        for (const auto rate : subsetRates)
        {
            for (const auto block : subsetBlocks)
            {
                report::setStep (std::string ("prepare ") + variant.name + " " + std::to_string ((int) rate)
                                 + " Hz, max block " + std::to_string (block));

                if (! rig.start (rate, block, variant.sampleSize, variant.inPlace) || ! runSignals (rig, rng, options))
                    return;

                rig.stop();
            }
        }
    }
}
