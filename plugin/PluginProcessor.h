#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include "BiquadLanes.h"
#include "PresetManager.h"

#include <array>
#include <atomic>
#include <memory>
#include <vector>

/** Ostrel's audio processor: a stereo peak shaper and loudness clipper.

    The chain, per channel: input gain, an 18 Hz high-pass, a split into a 150 Hz low band and a
    2.2 kHz high band, a clipping curve (Soft, Hard or Punch, optionally at 2×, 4× or 8×
    oversampling), output gain, a hard clip at the ceiling, the latency-aligned dry/wet mix, the
    master gain and the power crossfade. Latency is 0 at the base rate and the selected
    oversampler's integer latency otherwise; it is reported when preparing and, from the audio
    thread, when the oversampling choice changes.

    Mono and stereo layouts (input width equal to output width) are accepted.
*/
class OstrelAudioProcessor : public juce::AudioProcessor, private juce::AudioProcessorValueTreeState::Listener
{
public:
    OstrelAudioProcessor();
    ~OstrelAudioProcessor() override;

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    //==============================================================================
    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;

    /** The host's bypass: the input, delayed by the reported latency so that the host's latency
        compensation keeps the track in place; the meters fall as they do for silence.
    */
    void processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlockBypassed;

    //==============================================================================
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override { return true; }

    const juce::String getName() const override { return "Ostrel"; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    bool isMidiEffect() const override { return false; }
    double getTailLengthSeconds() const override { return 0.05; }

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override;
    void changeProgramName (int, const juce::String&) override {}

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==============================================================================
    /** Sets a parameter from a value in its own units (dB, percent, choice index) and notifies
        the host. An unknown ID does nothing.
    */
    void setParamValue (const juce::String& parameterID, float value);

    /** Maps a sample to the meter scale: linear in dB from −60 dBFS (0) to 0 dBFS (1). */
    static float levelFromSample (float v) noexcept;

    /** The current-preset record. The name and user flag are read under presetInfoLock. */
    void setCurrentPresetInfo (const juce::String& name, bool isUser, bool modified);
    juce::String getCurrentPresetName() const;
    bool isCurrentPresetUser() const;
    bool isCurrentPresetModified() const noexcept { return currentPresetModified.load(); }

    //==============================================================================
    /** The ten factory presets, in the order the preset menu lists them. */
    static const juce::StringArray factoryPresetNames;

    /** Switches the effect on and sets the named factory preset's nine values, keeping master
        as it is; the preset becomes current, not a user preset, not modified. A name that is not
        one of factoryPresetNames changes nothing.
    */
    void applyFactoryPreset (const juce::String& name);

    /** The user presets in the presets folder (file names without ".xml"), sorted ignoring case.
        The folder is read anew on every call.
    */
    juce::StringArray getUserPresetNames() const;

    /** Writes every parameter value to the preset's file, replacing an existing one. On success
        the name, exactly as given, becomes the current user preset, not modified.
    */
    bool saveUserPreset (const juce::String& name);

    /** Applies a preset file with audio processing suspended. Master keeps its value, and a
        parameter the file does not mention, or stores as a non-finite value, keeps its own. On
        success the name becomes the current user preset, not modified.
    */
    bool loadUserPreset (const juce::String& name);

    /** Moves a preset's file to the new name's file; fails for a missing file, a blank new name or
        an existing target, never overwriting. The record follows when it is the current preset.
    */
    bool renameUserPreset (const juce::String& oldName, const juce::String& newName);

    /** Deletes a preset's file; when it was the current user preset the record goes back to
        "Presets".
    */
    bool deleteUserPreset (const juce::String& name);

    /** The latency last reported to the host, in samples. */
    int getCurrentLatency() const noexcept { return currentLatency; }

    /** The length of the dry and low-band delay rings, in samples per channel. */
    int getDelayRingSize() const noexcept { return delayRingSize; }

    //==============================================================================
    juce::AudioProcessorValueTreeState apvts;

private:
    void parameterChanged (const juce::String& parameterID, float newValue) override;

    /** Prepares a restored parameter tree for replaceState: a parameter that the tree does not
        mention, or whose stored value is not a finite number, keeps its present value.
    */
    juce::ValueTree completeParameterTree (juce::ValueTree tree) const;

    /** True when the record names a user preset whose name equals this one ignoring case. */
    bool isCurrentUserPreset (const juce::String& name) const;

    /** Holds audio processing suspended for its lifetime. */
    struct ScopedProcessingSuspend
    {
        explicit ScopedProcessingSuspend (juce::AudioProcessor& p) : processor (p)
        {
            processor.suspendProcessing (true);
        }
        ~ScopedProcessingSuspend() { processor.suspendProcessing (false); }

        juce::AudioProcessor& processor;

        JUCE_DECLARE_NON_COPYABLE (ScopedProcessingSuspend)
    };

    /** Processes numSamples samples (at most the prepared block size) of the given channels as
        one block: smoothers, latency check, chain and meters.
    */
    void processChunk (float* const* channels, int numChannels, int numSamples) noexcept;

    /** The host-buffer housekeeping that processBlock and processBlockBypassed share: clears the
        output channels that have no input, then calls processOneChunk (channels, numChannels, n)
        for consecutive pieces of the buffer of at most the prepared size. Before the first
        prepareToPlay the input passes through with unusable samples silenced instead.
    */
    template <typename ChunkFunction>
    void forEachChunk (juce::AudioBuffer<float>& buffer, ChunkFunction&& processOneChunk) noexcept;

    /** The chain over one chunk of numSamples (1 … the prepared size) samples: front end, delay
        rings, the curve (oversampled when osIndex > 0) and the output stage. Values gives each
        smoothed parameter per sample, steady or ramping.
    */
    template <typename Values>
    void processChain (float* const* channels, int numChannels, int numSamples, int clipMode, int osIndex,
                       const Values& values) noexcept;

    /** Applies the curve to the first numSamples samples of the clip buffer, through the selected
        oversampler when osIndex > 0; shapes[i] is the shape of base-rate sample i (only shapes[0]
        is read when steadyShape is true).
    */
    void shapeClipBuffer (int numChannels, int numSamples, int clipMode, int osIndex, const float* shapes,
                          bool steadyShape) noexcept;
    void publishMeters (int numSamples, int numChannels) noexcept;
    void setSmootherTargets() noexcept;

    // Both channels' filters run side by side: the DC blocker in lanes { L, R, L, R } (the copies
    // give its output in the layout the band split needs), the band split in lanes
    // { low L, low R, high L, high R }.
    BiquadLanes dcFilter, bandFilter;

    std::array<std::unique_ptr<juce::dsp::Oversampling<float>>, 4> oversamplers;

    // Two channels even for mono, so the side-by-side front end always has somewhere to write.
    juce::AudioBuffer<float> clipBuffer, dryBuffer, lowBandBuffer;
    juce::AudioBuffer<float> dryDelayRing, lowBandDelayRing;

    double currentSampleRate = 44100.0;
    int numProcessChannels = 2;
    int delayRingSize = 0;
    int delayWritePosition = 0;
    int currentLatency = 0;

    juce::SmoothedValue<float> inputGainSmoother, shapeSmoother, outputGainSmoother, masterGainSmoother, mixSmoother,
        edgeSmoother, lowProtectSmoother, ceilingSmoother, powerSmoother;

public:
    std::atomic<float> inputLevel[2] { 0.0f, 0.0f };
    std::atomic<float> outputLevel[2] { 0.0f, 0.0f };
    std::atomic<float> clipAmount { 0.0f };

    PresetManager presetManager;

    juce::CriticalSection presetInfoLock;

private:
    juce::String currentPresetName { "Presets" };
    bool currentPresetIsUser = false;
    std::atomic<bool> currentPresetModified { false };
    std::atomic<bool> suppressModified { false };

    //==============================================================================
    // Per-block working data, sized in prepareToPlay so the audio thread never allocates.
    // One array per smoother: its value for each sample of the block while any smoother moves.
    static constexpr size_t numSmoothedValues = 9;
    std::array<std::vector<float>, numSmoothedValues> workArrays;
    int preparedBlockSize = 0;

    struct BlockAccumulators
    {
        float inputPeak[2] {};  // largest |sample| at the input tap
        float outputPeak[2] {}; // largest |sample| at the output tap
        float clipSum = 0.0f;
    } accumulators;

    // Raw parameter values, looked up once at construction.
    struct RawParameters
    {
        std::atomic<float>* power = nullptr;
        std::atomic<float>* mode = nullptr;
        std::atomic<float>* input = nullptr;
        std::atomic<float>* shape = nullptr;
        std::atomic<float>* ceiling = nullptr;
        std::atomic<float>* output = nullptr;
        std::atomic<float>* master = nullptr;
        std::atomic<float>* mix = nullptr;
        std::atomic<float>* edge = nullptr;
        std::atomic<float>* lowProtect = nullptr;
        std::atomic<float>* oversampling = nullptr;
    } raw;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OstrelAudioProcessor)
};
