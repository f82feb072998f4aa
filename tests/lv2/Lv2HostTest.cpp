// Loads the built LV2 bundle through lilv, as an LV2 host does, and compares it with the plug-in's
// shared code (through the reference writer): the parameters the bundle publishes, the samples
// and latency it produces for the same input and settings, and its saved state. Settings of discrete parameters are
// chosen by their labels, using the values the bundle publishes for them.
//
// LV2_PATH and OSTREL_LV2_REFERENCE (the writer) default to the build's bundle folder and writer.

#include <dlfcn.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Last: Xlib's macros (None, Bool, Status) would clash with the declarations above.
#include <X11/Xlib.h>

namespace
{
const std::string pluginUri = "https://larkfen.audio/plugins/ostrel";
constexpr double sampleRate = 48000.0;
std::string workFolder;

struct Setting
{
    std::string id;
    std::string value; // in the parameter's units, or a label of a discrete parameter
};

struct ScalePoint
{
    std::string label;
    float value;
};

struct ParameterInfo
{
    float minimum = 0, maximum = 0, defaultValue = 0;
    std::vector<ScalePoint> scalePoints; // by value, which is the processor's order of labels
};

std::string runCommand (const std::string& command, int& status)
{
    std::string output;

    if (auto* pipe = ::popen (command.c_str(), "r"))
    {
        char buffer[4096];
        std::size_t n;

        while ((n = std::fread (buffer, 1, sizeof (buffer), pipe)) > 0)
            output.append (buffer, n);

        status = ::pclose (pipe);
    }
    else
    {
        status = -1;
    }

    return output;
}

std::string referenceWriter()
{
    const char* path = std::getenv ("OSTREL_LV2_REFERENCE");
    return path != nullptr ? path : "";
}

// The processor's own parameter table, from the reference writer.
std::map<std::string, ParameterInfo> processorParameters (std::vector<std::string>& order)
{
    int status = 0;
    std::istringstream lines (runCommand ("'" + referenceWriter() + "' parameters", status));
    EXPECT_EQ (status, 0);

    std::map<std::string, ParameterInfo> result;
    std::string line;

    while (std::getline (lines, line))
    {
        std::vector<std::string> fields;
        std::istringstream cells (line);
        std::string cell;

        while (std::getline (cells, cell, '\t'))
            fields.push_back (cell);

        if (fields.size() < 4)
            continue;

        ParameterInfo info { std::stof (fields[1]), std::stof (fields[2]), std::stof (fields[3]), {} };

        for (std::size_t i = 4; i + 1 < fields.size(); i += 2)
            info.scalePoints.push_back ({ fields[i], std::stof (fields[i + 1]) });

        order.push_back (fields[0]);
        result[fields[0]] = info;
    }

    return result;
}

std::vector<float> readFloats (const std::string& path)
{
    std::ifstream in (path, std::ios::binary);
    std::vector<char> bytes ((std::istreambuf_iterator<char> (in)), std::istreambuf_iterator<char>());
    std::vector<float> samples (bytes.size() / sizeof (float));
    std::copy (bytes.begin(), bytes.begin() + (std::ptrdiff_t) (samples.size() * sizeof (float)),
               reinterpret_cast<char*> (samples.data()));
    return samples;
}

struct Reference
{
    std::vector<float> input, output;
    int latency = -1;
};

Reference renderReference (int blockSize, const std::vector<Setting>& settings)
{
    const auto inputPath = workFolder + "/in.f32";
    const auto outputPath = workFolder + "/out.f32";
    auto command =
        "'" + referenceWriter() + "' render '" + inputPath + "' '" + outputPath + "' " + std::to_string (blockSize);

    for (const auto& s : settings)
        command += " '" + s.id + "=" + s.value + "'";

    int status = 0;
    const auto printed = runCommand (command, status);
    EXPECT_EQ (status, 0) << command;

    Reference r;
    r.input = readFloats (inputPath);
    r.output = readFloats (outputPath);
    r.latency = printed.empty() ? -1 : std::stoi (printed);
    return r;
}

//==============================================================================
// The host: a lilv world with the bundle, and the features the plug-in requires.
class Lv2Host
{
public:
    Lv2Host()
    {
        lilv_world_load_all (world);
        pluginNode = lilv_new_uri (world, pluginUri.c_str());
        plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), pluginNode);

        // lilv reads a plug-in's description (dsp.ttl) only when it is first needed.
        if (plugin != nullptr)
            lilv_plugin_get_num_ports (plugin);

        mapFeatureData.handle = this;
        mapFeatureData.map = [] (LV2_URID_Map_Handle h, const char* uri)
        { return static_cast<Lv2Host*> (h)->map (uri); };
    }

    ~Lv2Host()
    {
        lilv_node_free (pluginNode);
        lilv_world_free (world);
    }

    const LilvPlugin* getPlugin() const { return plugin; }

    LV2_URID map (const char* uri)
    {
        const auto it = std::find (uris.begin(), uris.end(), uri);

        if (it != uris.end())
            return (LV2_URID) (it - uris.begin() + 1);

        uris.emplace_back (uri);
        return (LV2_URID) uris.size();
    }

    // The parameters the bundle publishes (patch:writable), by ID.
    std::map<std::string, ParameterInfo> publishedParameters()
    {
        std::map<std::string, ParameterInfo> result;
        auto* writable = lilv_new_uri (world, LV2_PATCH__writable);
        auto* params = lilv_world_find_nodes (world, pluginNode, writable, nullptr);

        LILV_FOREACH (nodes, i, params)
        {
            const auto* param = lilv_nodes_get (params, i);
            const std::string uri = lilv_node_as_uri (param);
            const auto id = uri.substr (uri.rfind (':') + 1);

            ParameterInfo info;
            info.minimum = getFloat (param, LV2_CORE__minimum);
            info.maximum = getFloat (param, LV2_CORE__maximum);
            info.defaultValue = getFloat (param, LV2_CORE__default);

            auto* scalePoint = lilv_new_uri (world, LV2_CORE__scalePoint);
            auto* points = lilv_world_find_nodes (world, param, scalePoint, nullptr);

            LILV_FOREACH (nodes, p, points)
            {
                const auto* point = lilv_nodes_get (points, p);
                auto* labelKey = lilv_new_uri (world, LILV_NS_RDFS "label");
                auto* label = lilv_world_get (world, point, labelKey, nullptr);
                info.scalePoints.push_back (
                    { label != nullptr ? lilv_node_as_string (label) : "", getFloat (point, LILV_NS_RDF "value") });
                lilv_node_free (label);
                lilv_node_free (labelKey);
            }

            std::sort (info.scalePoints.begin(), info.scalePoints.end(),
                       [] (const auto& a, const auto& b) { return a.value < b.value; });

            lilv_nodes_free (points);
            lilv_node_free (scalePoint);
            result[id] = info;
        }

        lilv_nodes_free (params);
        lilv_node_free (writable);
        return result;
    }

    LV2_URID_Map* getMap() { return &mapFeatureData; }
    LilvWorld* getWorld() const { return world; }

    // The first value of PREDICATE for SUBJECT as a number, or NaN.
    float getFloat (const LilvNode* subject, const char* predicate)
    {
        auto* key = lilv_new_uri (world, predicate);
        auto* value = lilv_world_get (world, subject, key, nullptr);
        const auto result = value != nullptr ? lilv_node_as_float (value) : std::nanf ("");
        lilv_node_free (value);
        lilv_node_free (key);
        return result;
    }

private:
    LilvWorld* world = lilv_world_new();
    LilvNode* pluginNode = nullptr;
    const LilvPlugin* plugin = nullptr;
    std::vector<std::string> uris;
    LV2_URID_Map mapFeatureData {};
};

//==============================================================================
// One instance of the plug-in with its ports connected to stereo buffers of BLOCK frames.
class Lv2Instance
{
public:
    Lv2Instance (Lv2Host& hostToUse, int blockSizeToUse) : host (hostToUse), blockSize (blockSizeToUse)
    {
        maxBlock = blockSize;
        options = {
            LV2_Options_Option { LV2_OPTIONS_INSTANCE, 0, host.map (LV2_BUF_SIZE__minBlockLength),
                                 sizeof (std::int32_t), host.map (LV2_ATOM__Int), &minBlock },
            LV2_Options_Option { LV2_OPTIONS_INSTANCE, 0, host.map (LV2_BUF_SIZE__maxBlockLength),
                                 sizeof (std::int32_t), host.map (LV2_ATOM__Int), &maxBlock },
            LV2_Options_Option { LV2_OPTIONS_INSTANCE, 0, host.map (LV2_BUF_SIZE__nominalBlockLength),
                                 sizeof (std::int32_t), host.map (LV2_ATOM__Int), &maxBlock },
            LV2_Options_Option { LV2_OPTIONS_INSTANCE, 0, host.map ("http://lv2plug.in/ns/ext/parameters#sampleRate"),
                                 sizeof (float), host.map (LV2_ATOM__Float), &rate },
            LV2_Options_Option { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr },
        };

        mapFeature = { LV2_URID__map, host.getMap() };
        optionsFeature = { LV2_OPTIONS__options, options.data() };
        boundedFeature = { LV2_BUF_SIZE__boundedBlockLength, nullptr };
        features = { &mapFeature, &optionsFeature, &boundedFeature, nullptr };

        instance = lilv_plugin_instantiate (host.getPlugin(), sampleRate, features.data());

        if (instance == nullptr)
            return;

        for (auto* buffers : { in, out })
            for (int ch = 0; ch < 2; ++ch)
                buffers[ch].assign ((std::size_t) blockSize, 0.0f);

        connectPorts();
        lilv_instance_activate (instance);
    }

    ~Lv2Instance()
    {
        if (instance == nullptr)
            return;

        lilv_instance_deactivate (instance);
        lilv_instance_free (instance);
    }

    bool isValid() const { return instance != nullptr && audioIn == 2 && audioOut == 2; }
    LV2_Handle getHandle() const { return lilv_instance_get_handle (instance); }
    int getLatency() const { return (int) latency; }

    // Runs the plug-in over interleaved stereo input, BLOCK frames per run. The settings go as
    // patch:Set events into the first run, a discrete parameter's label as its published value.
    std::vector<float> process (const std::vector<float>& input, const std::vector<Setting>& settings)
    {
        const auto published = host.publishedParameters();
        const auto numFrames = (int) (input.size() / 2);
        std::vector<float> output (input.size(), 0.0f);

        for (int start = 0; start < numFrames; start += blockSize)
        {
            const auto n = std::min (blockSize, numFrames - start);

            writeEvents (start == 0 ? settings : std::vector<Setting>(), published);
            auto* outSequence = reinterpret_cast<LV2_Atom*> (eventsOut.data());
            outSequence->type = host.map (LV2_ATOM__Chunk);
            outSequence->size = (std::uint32_t) (atomCapacity - sizeof (LV2_Atom));

            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < n; ++i)
                    in[ch][(std::size_t) i] = input[(std::size_t) (start + i) * 2 + (std::size_t) ch];

            lilv_instance_run (instance, (std::uint32_t) n);

            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < n; ++i)
                    output[(std::size_t) (start + i) * 2 + (std::size_t) ch] = out[ch][(std::size_t) i];
        }

        return output;
    }

    // The plug-in's state through its LV2 state interface, as a host saves it with a session.
    std::unique_ptr<LilvState, void (*) (LilvState*)> saveState()
    {
        return { lilv_state_new_from_instance (host.getPlugin(), instance, host.getMap(), nullptr, nullptr, nullptr,
                                               nullptr, noPortValue, nullptr, 0, features.data()),
                 lilv_state_free };
    }

    void restoreState (const LilvState* state)
    {
        lilv_state_restore (state, instance, ignorePortValue, nullptr, 0, features.data());
    }

private:
    static const void* noPortValue (const char*, void*, uint32_t* size, uint32_t* type)
    {
        *size = 0;
        *type = 0;
        return nullptr;
    }

    static void ignorePortValue (const char*, void*, const void*, uint32_t, uint32_t) {}

    void connectPorts()
    {
        auto* world = host.getWorld();
        const auto* plugin = host.getPlugin();
        auto* audioClass = lilv_new_uri (world, LV2_CORE__AudioPort);
        auto* atomClass = lilv_new_uri (world, LV2_ATOM__AtomPort);
        auto* inputClass = lilv_new_uri (world, LV2_CORE__InputPort);
        auto* enabledDesignation = lilv_new_uri (world, LV2_CORE_PREFIX "enabled");
        auto* freeWheelingDesignation = lilv_new_uri (world, LV2_CORE__freeWheeling);

        const auto* enabledPort = lilv_plugin_get_port_by_designation (plugin, inputClass, enabledDesignation);
        const auto* freeWheelingPort =
            lilv_plugin_get_port_by_designation (plugin, inputClass, freeWheelingDesignation);

        for (std::uint32_t p = 0; p < lilv_plugin_get_num_ports (plugin); ++p)
        {
            const auto* port = lilv_plugin_get_port_by_index (plugin, p);
            const bool isInput = lilv_port_is_a (plugin, port, inputClass);
            void* data = nullptr;

            if (lilv_port_is_a (plugin, port, audioClass))
                data = isInput ? in[audioIn++ % 2].data() : out[audioOut++ % 2].data();
            else if (lilv_port_is_a (plugin, port, atomClass))
                data = isInput ? eventsIn.data() : eventsOut.data();
            else if (lilv_plugin_has_latency (plugin) && p == lilv_plugin_get_latency_port_index (plugin))
                data = &latency;
            else if (port == enabledPort)
                data = &enabled;
            else if (port == freeWheelingPort)
                data = &freeWheeling;

            lilv_instance_connect_port (instance, p, data);
        }

        lilv_node_free (freeWheelingDesignation);
        lilv_node_free (enabledDesignation);
        lilv_node_free (inputClass);
        lilv_node_free (atomClass);
        lilv_node_free (audioClass);
    }

    void writeEvents (const std::vector<Setting>& settings, const std::map<std::string, ParameterInfo>& published)
    {
        LV2_Atom_Forge forge;
        lv2_atom_forge_init (&forge, host.getMap());
        lv2_atom_forge_set_buffer (&forge, reinterpret_cast<std::uint8_t*> (eventsIn.data()), atomCapacity);

        LV2_Atom_Forge_Frame sequence;
        lv2_atom_forge_sequence_head (&forge, &sequence, 0);

        for (const auto& s : settings)
        {
            const auto it = published.find (s.id);
            ASSERT_NE (it, published.end()) << s.id << " is not published";

            auto value = std::nanf ("");
            if (it->second.scalePoints.empty())
                value = std::stof (s.value);
            else
                for (const auto& point : it->second.scalePoints)
                    if (point.label == s.value)
                        value = point.value;

            ASSERT_FALSE (std::isnan (value)) << s.id << " has no label " << s.value;

            lv2_atom_forge_frame_time (&forge, 0);
            LV2_Atom_Forge_Frame object;
            lv2_atom_forge_object (&forge, &object, 0, host.map (LV2_PATCH__Set));
            lv2_atom_forge_key (&forge, host.map (LV2_PATCH__property));
            lv2_atom_forge_urid (&forge, host.map ((pluginUri + ":" + s.id).c_str()));
            lv2_atom_forge_key (&forge, host.map (LV2_PATCH__value));
            lv2_atom_forge_float (&forge, value);
            lv2_atom_forge_pop (&forge, &object);
        }

        lv2_atom_forge_pop (&forge, &sequence);
    }

    static constexpr std::size_t atomCapacity = 65536;

    Lv2Host& host;
    const int blockSize;
    std::int32_t minBlock = 1, maxBlock = 0;
    float rate = (float) sampleRate;
    std::vector<LV2_Options_Option> options;
    LV2_Feature mapFeature {}, optionsFeature {}, boundedFeature {};
    std::vector<const LV2_Feature*> features;
    LilvInstance* instance = nullptr;

    std::vector<float> in[2], out[2];
    std::vector<std::uint64_t> eventsIn = std::vector<std::uint64_t> (atomCapacity / 8);
    std::vector<std::uint64_t> eventsOut = std::vector<std::uint64_t> (atomCapacity / 8);
    float latency = -1.0f, enabled = 1.0f, freeWheeling = 0.0f;
    int audioIn = 0, audioOut = 0;
};

std::size_t countDifferences (const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return std::max (a.size(), b.size());

    std::size_t n = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        n += (a[i] != b[i]) ? 1u : 0u;

    return n;
}
} // namespace

//==============================================================================
TEST (Lv2Bundle, PublishesTheProcessorsParametersWithRangesDefaultsAndLabels)
{
    Lv2Host host;
    ASSERT_NE (host.getPlugin(), nullptr) << pluginUri << " not found on LV2_PATH";

    std::vector<std::string> order;
    const auto expected = processorParameters (order);
    const auto published = host.publishedParameters();
    ASSERT_EQ (expected.size(), 11u);
    ASSERT_EQ (published.size(), expected.size());

    for (const auto& id : order)
    {
        SCOPED_TRACE (id);
        const auto it = published.find (id);
        ASSERT_NE (it, published.end());
        const auto& want = expected.at (id);
        const auto& got = it->second;

        EXPECT_FLOAT_EQ (got.minimum, want.minimum);
        EXPECT_FLOAT_EQ (got.maximum, want.maximum);
        EXPECT_FLOAT_EQ (got.defaultValue, want.defaultValue);
        ASSERT_EQ (got.scalePoints.size(), want.scalePoints.size());

        for (std::size_t i = 0; i < want.scalePoints.size(); ++i)
        {
            EXPECT_EQ (got.scalePoints[i].label, want.scalePoints[i].label);
            EXPECT_FLOAT_EQ (got.scalePoints[i].value, want.scalePoints[i].value);
        }
    }
}

struct ProcessingCase
{
    const char* name;
    int blockSize;
    std::vector<Setting> settings;
};

void PrintTo (const ProcessingCase& c, std::ostream* os) { *os << c.name; }

class Lv2Processing : public ::testing::TestWithParam<ProcessingCase>
{
};

TEST_P (Lv2Processing, GivesTheSamplesAndLatencyOfTheSharedCode)
{
    const auto& c = GetParam();
    const auto reference = renderReference (c.blockSize, c.settings);
    ASSERT_FALSE (reference.output.empty());

    Lv2Host host;
    ASSERT_NE (host.getPlugin(), nullptr);
    Lv2Instance plugin (host, c.blockSize);
    ASSERT_TRUE (plugin.isValid());
    const auto output = plugin.process (reference.input, c.settings);

    EXPECT_EQ (plugin.getLatency(), reference.latency);
    EXPECT_EQ (countDifferences (output, reference.output), 0u);
}

INSTANTIATE_TEST_SUITE_P (Settings, Lv2Processing,
                          ::testing::Values (ProcessingCase { "Defaults", 512, {} },
                                             ProcessingCase { "SoftWithoutOversamplingHalfMixOddBlocks",
                                                              441,
                                                              { { "mode", "Soft" },
                                                                { "oversampling", "Off" },
                                                                { "mix", "50" },
                                                                { "edge", "-40" },
                                                                { "lowProtect", "80" } } },
                                             ProcessingCase { "HardAt8xDriven",
                                                              1024,
                                                              { { "mode", "Hard" },
                                                                { "oversampling", "8x" },
                                                                { "input", "6" },
                                                                { "ceiling", "-3" },
                                                                { "shape", "75" } } },
                                             ProcessingCase {
                                                 "PowerOff", 256, { { "power", "Off" }, { "master", "-6" } } }),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

// Choosing "Hard" and "8x" by their labels must reach the processor as Hard clipping at 8x, not as
// neighbouring choices: the output and the reported latency tell the choices apart.
TEST (Lv2Labels, ChoosingHardAnd8xGivesHardClippingAndThe8xLatency)
{
    const std::vector<Setting> chosen { { "mode", "Hard" }, { "oversampling", "8x" }, { "input", "12" } };
    const auto hard8x = renderReference (512, chosen);
    const auto punch8x = renderReference (512, { { "mode", "Punch" }, { "oversampling", "8x" }, { "input", "12" } });
    const auto hard2x = renderReference (512, { { "mode", "Hard" }, { "oversampling", "2x" }, { "input", "12" } });

    ASSERT_NE (countDifferences (hard8x.output, punch8x.output), 0u);
    ASSERT_NE (hard8x.latency, hard2x.latency);

    Lv2Host host;
    ASSERT_NE (host.getPlugin(), nullptr);
    Lv2Instance plugin (host, 512);
    ASSERT_TRUE (plugin.isValid());
    const auto output = plugin.process (hard8x.input, chosen);

    EXPECT_EQ (plugin.getLatency(), hard8x.latency);
    EXPECT_EQ (countDifferences (output, hard8x.output), 0u);
}

// A session saved through the LV2 state interface restores into a fresh instance: it then
// processes as the shared code does with those settings.
TEST (Lv2State, StateSavedFromOneInstanceRestoresIntoAFreshOne)
{
    const std::vector<Setting> settings { { "mode", "Soft" },    { "oversampling", "2x" }, { "input", "4" },
                                          { "ceiling", "-2.5" }, { "mix", "70" },          { "lowProtect", "20" } };
    const auto reference = renderReference (512, settings);
    const auto defaults = renderReference (512, {});
    ASSERT_NE (countDifferences (reference.output, defaults.output), 0u);

    Lv2Host host;
    ASSERT_NE (host.getPlugin(), nullptr);

    Lv2Instance saved (host, 512);
    ASSERT_TRUE (saved.isValid());
    saved.process (reference.input, settings);
    const auto state = saved.saveState();
    ASSERT_NE (state, nullptr);

    Lv2Instance restored (host, 512);
    ASSERT_TRUE (restored.isValid());
    restored.restoreState (state.get());
    const auto output = restored.process (reference.input, {});

    EXPECT_EQ (restored.getLatency(), reference.latency);
    EXPECT_EQ (countDifferences (output, reference.output), 0u);
}

//==============================================================================
// The bundle's X11 UI, embedded in a window of the host as an LV2 host embeds it.
class Lv2EditorHost
{
public:
    explicit Lv2EditorHost (Lv2Host& hostToUse) : host (hostToUse)
    {
        display = XOpenDisplay (nullptr);

        if (display == nullptr)
            return;

        parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1600, 1100, 0, 0, 0);
        XMapWindow (display, parent);
        XSync (display, False);

        auto* uis = lilv_plugin_get_uis (host.getPlugin());

        LILV_FOREACH (uis, i, uis)
        {
            const auto* ui = lilv_uis_get (uis, i);
            uiUri = lilv_node_as_uri (lilv_ui_get_uri (ui));
            binaryPath = toPath (lilv_ui_get_binary_uri (ui));
            bundlePath = toPath (lilv_ui_get_bundle_uri (ui));
            break;
        }

        lilv_uis_free (uis);

        library = ::dlopen (binaryPath.c_str(), RTLD_NOW);

        if (library == nullptr)
            return;

        if (auto* entry = reinterpret_cast<LV2UI_DescriptorFunction> (::dlsym (library, "lv2ui_descriptor")))
            for (std::uint32_t index = 0; (descriptor = entry (index)) != nullptr; ++index)
                if (uiUri == descriptor->URI)
                    break;
    }

    ~Lv2EditorHost()
    {
        if (library != nullptr)
            ::dlclose (library);

        if (display != nullptr)
        {
            XDestroyWindow (display, parent);
            XCloseDisplay (display);
        }
    }

    bool isValid() const { return display != nullptr && descriptor != nullptr; }

    struct Opened
    {
        LV2UI_Handle handle = nullptr;
        Window window = 0;
        int requestedWidth = 0, requestedHeight = 0; // what the UI asked the host for
    };

    Opened open (const Lv2Instance& instance)
    {
        Opened opened;
        LV2UI_Resize resize { &opened, [] (LV2UI_Feature_Handle h, int width, int height)
                              {
                                  static_cast<Opened*> (h)->requestedWidth = width;
                                  static_cast<Opened*> (h)->requestedHeight = height;
                                  return 0;
                              } };

        const LV2_Feature mapFeature { LV2_URID__map, host.getMap() };
        const LV2_Feature parentFeature { LV2_UI__parent, reinterpret_cast<void*> (parent) };
        const LV2_Feature instanceFeature { LV2_INSTANCE_ACCESS_URI, instance.getHandle() };
        const LV2_Feature idleFeature { LV2_UI__idleInterface, nullptr };
        const LV2_Feature resizeFeature { LV2_UI__resize, &resize };
        const LV2_Feature* features[] = { &mapFeature,  &parentFeature, &instanceFeature,
                                          &idleFeature, &resizeFeature, nullptr };

        LV2UI_Widget widget = nullptr;
        opened.handle = descriptor->instantiate (
            descriptor, pluginUri.c_str(), bundlePath.c_str(),
            [] (LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}, nullptr, &widget, features);
        opened.window = (Window) reinterpret_cast<std::uintptr_t> (widget);
        idle (opened);
        return opened;
    }

    // Gives the UI the host's idle calls for a while, as a host's event loop does.
    void idle (const Opened& opened)
    {
        const auto* idleInterface =
            static_cast<const LV2UI_Idle_Interface*> (descriptor->extension_data (LV2_UI__idleInterface));

        for (int i = 0; i < 20 && opened.handle != nullptr; ++i)
        {
            if (idleInterface != nullptr)
                idleInterface->idle (opened.handle);

            std::this_thread::sleep_for (std::chrono::milliseconds (10));
        }

        XSync (display, False);
    }

    void close (const Opened& opened) { descriptor->cleanup (opened.handle); }

    // The size of the UI's window, if it is a shown child of the host's window.
    bool getShownChildSize (Window window, int& width, int& height)
    {
        Window root = 0, windowParent = 0;
        Window* children = nullptr;
        unsigned int numChildren = 0;

        if (XQueryTree (display, window, &root, &windowParent, &children, &numChildren) == 0)
            return false;

        if (children != nullptr)
            XFree (children);

        XWindowAttributes attributes {};

        if (windowParent != parent || XGetWindowAttributes (display, window, &attributes) == 0)
            return false;

        width = attributes.width;
        height = attributes.height;
        return attributes.map_state == IsViewable;
    }

private:
    static std::string toPath (const LilvNode* fileUri)
    {
        auto* path = lilv_file_uri_parse (lilv_node_as_uri (fileUri), nullptr);
        std::string result = path != nullptr ? path : "";
        lilv_free (path);
        return result;
    }

    Lv2Host& host;
    Display* display = nullptr;
    Window parent = 0;
    std::string uiUri, binaryPath, bundlePath;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
};

// Under a bare X server (Xvfb without a window manager) atoms such as WM_PROTOCOLS do not exist,
// and the framework in the plug-in then sets window properties naming atom 0. Plug-in hosts
// install an X error handler that ignores such errors; without one, Xlib's default handler would
// end the test as soon as the editor opens.
int ignoreXError (Display*, XErrorEvent*) { return 0; }

// The editor opens in the host's window at its opening size for the display (1215 x 810 on the
// 1920 x 1080 test display) and asks the host for that size; it closes and reopens cleanly while
// the plug-in processes audio in between, and the audio is that of an instance without editor.
TEST (Lv2Editor, OpensInTheHostsWindowAtItsOpeningSizeAndReopens)
{
    const auto reference = renderReference (512, {});
    Lv2Host host;
    ASSERT_NE (host.getPlugin(), nullptr);
    Lv2Instance plugin (host, 512), withoutEditor (host, 512);
    ASSERT_TRUE (plugin.isValid());
    ASSERT_TRUE (withoutEditor.isValid());

    XSetErrorHandler (ignoreXError);
    Lv2EditorHost editorHost (host);
    ASSERT_TRUE (editorHost.isValid()) << "no X display or no UI in the bundle";

    for (int round = 0; round < 3; ++round)
    {
        SCOPED_TRACE (round);
        const auto opened = editorHost.open (plugin);
        ASSERT_NE (opened.handle, nullptr);

        int width = 0, height = 0;
        EXPECT_TRUE (editorHost.getShownChildSize (opened.window, width, height));
        EXPECT_EQ (width, 1215);
        EXPECT_EQ (height, 810);
        EXPECT_EQ (opened.requestedWidth, 1215);
        EXPECT_EQ (opened.requestedHeight, 810);

        const auto output = plugin.process (reference.input, {});
        editorHost.idle (opened);
        editorHost.close (opened);

        EXPECT_EQ (countDifferences (output, withoutEditor.process (reference.input, {})), 0u);
    }
}

int main (int argc, char** argv)
{
    // The plug-in keeps per-user files under the home folder: give it a fresh one.
    std::string home = "/tmp/ostrel-lv2-test-XXXXXX";

    if (::mkdtemp (home.data()) == nullptr)
        return 1;

    ::setenv ("HOME", home.c_str(), 1);
    ::setenv ("LV2_PATH", OSTREL_LV2_PATH, 0);
    ::setenv ("OSTREL_LV2_REFERENCE", OSTREL_LV2_REFERENCE, 0);
    workFolder = home;

    ::testing::InitGoogleTest (&argc, argv);
    const auto result = RUN_ALL_TESTS();

    std::system (("rm -rf '" + home + "'").c_str());
    return result;
}
