#include "FuzzSupport.h"
#include "XmlText.h"

// Writes each input as a user preset file and loads it with loadUserPreset. A file that does not
// parse to a tree must be refused with nothing changed; an accepted one must keep master, set the
// record to the preset, leave every parameter in range and the audio finite. Loading never
// touches the file itself.

namespace
{
constexpr const char* presetName = "Fuzzed";

std::vector<FuzzSupport::Seed> makeSeeds()
{
    auto& p = FuzzSupport::processor();
    std::vector<FuzzSupport::Seed> seeds;

    p.applyFactoryPreset ("Warm Masters");
    const auto valid = p.apvts.copyState().createXml()->toString();
    seeds.push_back ({ "saved-preset", FuzzSupport::bytesOf (valid) });
    seeds.push_back ({ "truncated", FuzzSupport::bytesOf (valid.substring (0, valid.length() / 2)) });
    seeds.push_back ({ "other-root", FuzzSupport::bytesOf (juce::String (
                                         "<Preset><PARAM id=\"edge\" value=\"-55\"/><PARAM id=\"master\" value=\"9\"/>"
                                         "<Nested><PARAM id=\"mix\" value=\"3\"/></Nested></Preset>")) });
    seeds.push_back (
        { "spoilt-values",
          FuzzSupport::bytesOf (juce::String (
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<PARAMETERS><PARAM id=\"ceiling\" value=\"inf\"/>"
              "<PARAM id=\"input\" value=\"-1e30\"/><PARAM id=\"mode\" value=\"x\"/><PARAM id=\"power\"/>"
              "</PARAMETERS>")) });
    seeds.push_back ({ "entities-and-cdata", FuzzSupport::bytesOf (juce::String (
                                                 "<!DOCTYPE x [<!ENTITY e \"&#x263A;\">]><PARAMETERS a=\"&e;&amp;"
                                                 "&#0;\"><![CDATA[<PARAM id=\"mix\"/>]]></PARAMETERS>")) });
    // A multi-byte character cut short at the very end.
    seeds.push_back ({ "cut-utf8", { '<', 'P', ' ', 'a', '=', '"', 0xe2, 0x98 } });
    seeds.push_back ({ "binary", { 0x00, 0xff, 0xfe, 0x3c, 0x00, 0x50, 0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a } });
    seeds.push_back ({ "utf16-bom", { 0xff, 0xfe, '<', 0, 'P', 0, '/', 0, '>', 0 } });
    seeds.push_back ({ "empty", {} });
    return seeds;
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int* argc, char*** argv)
{
    FuzzSupport::initialise();
    FuzzSupport::writeSeedsIfAsked (*argc, *argv, makeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    auto& p = FuzzSupport::processor();
    static const PresetManager presetManager;
    const auto file = presetManager.getPresetFile (presetName);

    // Written through a stream, because replaceWithData deletes the file for empty data.
    file.deleteFile();

    if (! juce::FileOutputStream (file).write (data, size) && size > 0)
        FuzzSupport::fail ("cannot write the preset file");

    p.setCurrentPresetInfo ("Before", false, true);
    const auto before = FuzzSupport::take (p);

    // Files beyond 1 MiB are refused unread; below that, a file is a preset if its text is valid
    // and gives a tree.
    const auto xml = size <= (1 << 20) ? XmlText::parseFileData (juce::MemoryBlock (data, size)) : nullptr;
    const bool acceptable = xml != nullptr && juce::ValueTree::fromXml (*xml).isValid();

    const bool loaded = p.loadUserPreset (presetName);
    const auto after = FuzzSupport::take (p);

    FuzzSupport::check (loaded == acceptable, "loadUserPreset disagrees about whether the file is a preset");
    FuzzSupport::check (! p.isSuspended(), "processing left suspended");

    juce::MemoryBlock onDisk;
    FuzzSupport::check (file.loadFileAsData (onDisk) && onDisk.getSize() == size
                            && (size == 0 || std::memcmp (onDisk.getData(), data, size) == 0),
                        "loading changed the file");

    if (! loaded)
    {
        FuzzSupport::check (after == before, "a refused preset changed the parameters or the record");
        return 0;
    }

    const auto masterIndex = (size_t) std::distance (
        ParamIDs::all.begin(), std::find (ParamIDs::all.begin(), ParamIDs::all.end(), ParamIDs::master));
    FuzzSupport::check (after.values[masterIndex] == before.values[masterIndex], "loading changed master");
    FuzzSupport::check (after.name == presetName && after.isUser && ! after.modified, "wrong record after loading");
    FuzzSupport::checkParametersSane (p);
    FuzzSupport::checkProcessingSane (p);
    return 0;
}
