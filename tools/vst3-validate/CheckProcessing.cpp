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

/** After loud input, silence must die away once the reported tail and latency have passed; a
    plug-in that keeps ringing (or oscillating) fails.
*/
void checkTailDecays (IPluginFactory& factory, FUnknown* host, const Options& options)
{
    report::setStep ("silence after noise decays within the tail");
    PluginInstance instance (factory, host);
    std::mt19937 rng (options.seed);
    ProcessRig rig (instance, rng, options.outputBound);
    constexpr int block = 512;

    if (! instance.isValid() || ! rig.start (48000.0, block))
        return;

    for (int i = 0; i < 40; ++i)
        rig.process (block, ProcessRig::Signal::noise, false);

    const auto tail = instance.processor->getTailSamples();

    if (tail == Vst::kInfiniteTail)
        return;

    const auto latency = instance.processor->getLatencySamples();
    const auto silentSamples = (long long) tail + latency + 24000; // and half a second more
    double peak = 0.0;

    for (long long done = 0; done < silentSamples; done += block)
    {
        rig.process (block, ProcessRig::Signal::silence, false);
        peak = rig.getLastOutputPeak();
    }

    report::expect (peak < 1e-3, "the output still peaks at " + std::to_string (peak) + " after "
                                     + std::to_string (silentSamples) + " samples of silence (tail "
                                     + std::to_string (tail) + ", latency " + std::to_string (latency) + ")");
}

/** Two instances fed the same input and automation give the same output, sample for sample:
    a difference means uninitialised or shared state.
*/
void checkDeterminism (IPluginFactory& factory, FUnknown* host, const Options& options)
{
    report::setStep ("two instances give the same output");
    std::vector<double> outputs[2];

    for (auto& output : outputs)
    {
        PluginInstance instance (factory, host);
        std::mt19937 rng (options.seed);
        ProcessRig rig (instance, rng, options.outputBound);

        if (! instance.isValid() || ! rig.start (44100.0, 256))
            return;

        for (int i = 0; i < 10 * options.strictness; ++i)
        {
            rig.process (256, ProcessRig::Signal::noise, true);
            rig.appendLastOutput (output);
        }
    }

    std::size_t firstDifference = 0;

    while (firstDifference < outputs[0].size() && firstDifference < outputs[1].size()
           && outputs[0][firstDifference] == outputs[1][firstDifference])
        ++firstDifference;

    report::expect (outputs[0].size() == outputs[1].size() && firstDifference == outputs[0].size(),
                    "the outputs differ from sample " + std::to_string (firstDifference) + " of "
                        + std::to_string (outputs[0].size()));
}

struct Variant
{
    const char* name;
    Vst::SpeakerArrangement arrangement;
    int32 sampleSize;
    bool inPlace;
    int32 processMode;
};
} // namespace

void checkProcessing (const Options& options)
{
    auto module = loadModuleForCheck (options);

    if (module == nullptr)
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

    checkTailDecays (*module->getFactory(), &host, options);

    if (options.strictness >= 3)
        checkDeterminism (*module->getFactory(), &host, options);

    const auto subsetRates = spread (allRates, 3);
    const auto subsetBlocks = spread (allBlockSizes, (std::size_t) (2 + options.strictness / 2));

    for (const auto& variant :
         { Variant { "mono", Vst::SpeakerArr::kMono, Vst::kSample32, false, Vst::kRealtime },
           Variant { "stereo in place", Vst::SpeakerArr::kStereo, Vst::kSample32, true, Vst::kRealtime },
           Variant { "stereo offline", Vst::SpeakerArr::kStereo, Vst::kSample32, false, Vst::kOffline },
           Variant { "stereo 64-bit", Vst::SpeakerArr::kStereo, Vst::kSample64, false, Vst::kRealtime } })
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

                if (! rig.start (rate, block, variant.sampleSize, variant.inPlace, variant.processMode)
                    || ! runSignals (rig, rng, options))
                    return;

                rig.stop();
            }
        }
    }
}
