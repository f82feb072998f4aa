#include "FuzzSupport.h"
#include "XmlText.h"

// Feeds each input to setStateInformation as a host's stored session would be. An input that the
// framing or the XML rejects must change nothing; an accepted one must leave every parameter in
// range and keep the audio finite.

namespace
{
juce::MemoryBlock blobOf (const juce::String& xmlText)
{
    juce::MemoryBlock blob;
    juce::AudioProcessor::copyXmlToBinary (*juce::parseXML (xmlText), blob);
    return blob;
}

std::vector<FuzzSupport::Seed> makeSeeds()
{
    auto& p = FuzzSupport::processor();
    std::vector<FuzzSupport::Seed> seeds;

    juce::MemoryBlock fresh;
    p.getStateInformation (fresh);
    seeds.push_back ({ "fresh", FuzzSupport::bytesOf (fresh) });

    p.applyFactoryPreset ("Punchy Drums");
    p.setParamValue (ParamIDs::master, -3.0f);
    juce::MemoryBlock modified;
    p.getStateInformation (modified);
    seeds.push_back ({ "factory-modified", FuzzSupport::bytesOf (modified) });

    p.setCurrentPresetInfo (juce::String (juce::CharPointer_UTF8 ("Gr\xc3\xbc\xc3\x9f \xe2\x98\x83 <&>\"")), true,
                            false);
    juce::MemoryBlock unicode;
    p.getStateInformation (unicode);
    seeds.push_back ({ "unicode-user", FuzzSupport::bytesOf (unicode) });

    auto truncated = FuzzSupport::bytesOf (fresh);
    truncated.resize (truncated.size() / 2);
    seeds.push_back ({ "truncated", truncated });

    auto wrongMagic = FuzzSupport::bytesOf (fresh);
    wrongMagic[0] = 'X';
    seeds.push_back ({ "wrong-magic", wrongMagic });

    auto zeroLength = FuzzSupport::bytesOf (fresh);
    std::fill (zeroLength.begin() + 4, zeroLength.begin() + 8, 0);
    seeds.push_back ({ "zero-length", zeroLength });

    auto hugeLength = FuzzSupport::bytesOf (fresh);
    std::fill (hugeLength.begin() + 4, hugeLength.begin() + 8, 0xff);
    seeds.push_back ({ "negative-length", hugeLength });

    seeds.push_back ({ "header-only", { 'V', 'C', '2', '!', 4, 0, 0, 0 } });

    seeds.push_back (
        { "odd-values", FuzzSupport::bytesOf (blobOf (
                            "<Other uiCurrentPresetIsUser=\"yes\"><PARAM id=\"input\" value=\"nan\"/>"
                            "<PARAM id=\"mix\" value=\"1e39\"/><PARAM id=\"shape\"/><PARAM id=\"unknown\" value=\"3\"/>"
                            "<PARAM id=\"oversampling\" value=\"-inf\"/><PARAM id=\"mode\" value=\"7\"/></Other>")) });

    auto notXml = FuzzSupport::bytesOf (fresh);
    for (size_t i = 8; i < notXml.size() - 1; ++i)
        notXml[i] = (std::uint8_t) ('<' + i % 3);
    seeds.push_back ({ "framed-garbage", notXml });

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
    if (size > (size_t) std::numeric_limits<int>::max())
        return 0;

    auto& p = FuzzSupport::processor();

    // A record that no input produces by accident, so a partial restore would show.
    p.setCurrentPresetInfo ("Before", true, true);
    const auto before = FuzzSupport::take (p);

    // What the host's blob must be to be applied: the framing, text the framework's parser
    // handles safely, and an XML element that gives a tree.
    const auto storedLength = size > 8 ? (int) juce::ByteOrder::littleEndianInt (data + 4) : 0;
    const bool validText = size <= 8 || XmlText::isSafeToParse (data + 8, juce::jmin (storedLength, (int) size - 8));
    const auto xml = validText ? juce::AudioProcessor::getXmlFromBinary (data, (int) size) : nullptr;
    const bool acceptable = xml != nullptr && juce::ValueTree::fromXml (*xml).isValid();

    p.setStateInformation (data, (int) size);
    const auto after = FuzzSupport::take (p);

    if (! acceptable)
    {
        FuzzSupport::check (after == before, "a rejected blob changed the parameters or the record");
        return 0;
    }

    FuzzSupport::checkParametersSane (p);
    FuzzSupport::check (after.name.isNotEmpty(), "empty preset name");

    FuzzSupport::checkProcessingSane (p);
    return 0;
}
