#include "ParameterIDs.h"
#include "ParameterTestSupport.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
using Values = ParameterValues;

juce::MemoryBlock saveState (OstrelAudioProcessor& p)
{
    juce::MemoryBlock blob;
    p.getStateInformation (blob);
    return blob;
}

void restore (OstrelAudioProcessor& p, const juce::MemoryBlock& blob)
{
    p.setStateInformation (blob.getData(), (int) blob.getSize());
}

void appendInt32 (juce::MemoryBlock& blob, uint32_t v)
{
    const uint8_t bytes[] = { (uint8_t) v, (uint8_t) (v >> 8), (uint8_t) (v >> 16), (uint8_t) (v >> 24) };
    blob.append (bytes, sizeof (bytes));
}

/** A blob framed by hand: magic, length field, text, zero byte. */
juce::MemoryBlock frame (const juce::String& xml, const char* magic = "VC2!", int64_t length = -1)
{
    const auto text = xml.toStdString();
    juce::MemoryBlock blob (magic, 4);
    appendInt32 (blob, (uint32_t) (length < 0 ? (int64_t) text.size() : length));
    blob.append (text.data(), text.size());
    blob.append ("", 1);
    return blob;
}

uint32_t readInt32 (const juce::MemoryBlock& blob, size_t offset)
{
    const auto* b = static_cast<const uint8_t*> (blob.getData()) + offset;
    return (uint32_t) b[0] | ((uint32_t) b[1] << 8) | ((uint32_t) b[2] << 16) | ((uint32_t) b[3] << 24);
}

/** Moves every parameter away from its default, so a restore that skips one shows. */
void setNonDefaultValues (OstrelAudioProcessor& p)
{
    p.setParamValue (ParamIDs::power, 0.0f);
    p.setParamValue (ParamIDs::mode, 1.0f);
    p.setParamValue (ParamIDs::input, 4.5f);
    p.setParamValue (ParamIDs::shape, 63.0f);
    p.setParamValue (ParamIDs::ceiling, -3.0f);
    p.setParamValue (ParamIDs::output, -2.5f);
    p.setParamValue (ParamIDs::master, 1.25f);
    p.setParamValue (ParamIDs::mix, 70.0f);
    p.setParamValue (ParamIDs::edge, -40.0f);
    p.setParamValue (ParamIDs::lowProtect, 12.0f);
    p.setParamValue (ParamIDs::oversampling, 3.0f);
}

void expectRecord (OstrelAudioProcessor& p, const juce::String& name, bool isUser, bool modified)
{
    EXPECT_EQ (p.getCurrentPresetName(), name);
    EXPECT_EQ (p.isCurrentPresetUser(), isUser);
    EXPECT_EQ (p.isCurrentPresetModified(), modified);
}
} // namespace

TEST (SessionState, SavedBlobIsFramedAroundSingleLineXmlWithThePresetRecord)
{
    OstrelAudioProcessor p;
    p.setCurrentPresetInfo ("Punchy Drums", false, true);
    const auto blob = saveState (p);

    ASSERT_GT (blob.getSize(), 9u);
    EXPECT_EQ (juce::String::fromUTF8 (static_cast<const char*> (blob.getData()), 4), "VC2!");
    EXPECT_EQ (readInt32 (blob, 0), 0x21324356u);
    EXPECT_EQ (readInt32 (blob, 4), (uint32_t) blob.getSize() - 9);
    EXPECT_EQ (blob[blob.getSize() - 1], 0);

    const auto text = juce::String::fromUTF8 (static_cast<const char*> (blob.getData()) + 8, (int) readInt32 (blob, 4));
    EXPECT_TRUE (text.startsWith ("<?xml"));
    EXPECT_FALSE (text.containsAnyOf ("\r\n"));

    const auto xml = juce::parseXML (text);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "PARAMETERS");
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetName"), "Punchy Drums");
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetIsUser"), "0");
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetModified"), "1");

    for (auto* id : ParamIDs::all)
        EXPECT_NE (xml->getChildByAttribute ("id", id), nullptr) << id;

    // The attributes go into the saved copy only.
    EXPECT_FALSE (p.apvts.state.hasProperty ("uiCurrentPresetName"));
}

TEST (SessionState, RoundTripRestoresParametersAndRecordInAFreshInstance)
{
    struct Record
    {
        const char* name;
        bool isUser, modified;
    };

    for (const auto& record : { Record { "Punchy Drums", false, true }, Record { "Live  Set", true, false },
                                Record { "Presets", false, false } })
    {
        SCOPED_TRACE (record.name);
        OstrelAudioProcessor saved;
        setNonDefaultValues (saved);
        saved.setCurrentPresetInfo (record.name, record.isUser, record.modified);

        OstrelAudioProcessor restored;
        restore (restored, saveState (saved));

        EXPECT_EQ (parameterValues (restored), parameterValues (saved));
        expectRecord (restored, record.name, record.isUser, record.modified);
    }
}

TEST (SessionState, BlobWithoutPresetAttributesRestoresParametersAndTheEmptyRecord)
{
    OstrelAudioProcessor p;
    p.setCurrentPresetInfo ("Live", true, true);

    restore (p, frame (R"(<?xml version="1.0" encoding="UTF-8"?><Anything><PARAM id="shape" value="77"/></Anything>)"));

    EXPECT_FLOAT_EQ (valueOf (p, ParamIDs::shape), 77.0f);
    expectRecord (p, "Presets", false, false);
}

TEST (SessionState, StoredLengthBeyondTheDataIsCutToTheData)
{
    OstrelAudioProcessor p;
    restore (p, frame (R"(<PARAMETERS uiCurrentPresetName="Cut"><PARAM id="mix" value="25"/></PARAMETERS>)", "VC2!",
                       100000));

    EXPECT_FLOAT_EQ (valueOf (p, ParamIDs::mix), 25.0f);
    EXPECT_EQ (p.getCurrentPresetName(), "Cut");
}

TEST (SessionState, InvalidBlobsChangeNeitherParametersNorRecord)
{
    const juce::String validXml =
        R"(<PARAMETERS uiCurrentPresetName="Other"><PARAM id="shape" value="90"/></PARAMETERS>)";

    struct Case
    {
        const char* what;
        juce::MemoryBlock blob;
    };

    const Case cases[] = {
        { "empty", {} },
        { "eight bytes", juce::MemoryBlock ("VC2!\x05\0\0\0", 8) },
        { "wrong magic", frame (validXml, "VC3!") },
        { "length zero", frame (validXml, "VC2!", 0) },
        { "negative length", frame (validXml, "VC2!", 0xffffffff) },
        { "not XML", frame ("this is not xml") },
        { "unterminated XML", frame ("<PARAMETERS><PARAM id=\"shape\" value=\"90\"") },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        OstrelAudioProcessor p;
        setNonDefaultValues (p);
        p.setCurrentPresetInfo ("Live", true, false);
        const auto before = parameterValues (p);

        restore (p, c.blob);

        EXPECT_EQ (parameterValues (p), before);
        expectRecord (p, "Live", true, false);
    }
}

TEST (SessionState, ParameterWithoutUsableStoredValueKeepsItsPresentValue)
{
    // "edge" is the parameter under test; "shape" shows the rest of the blob still applies.
    struct Case
    {
        const char* what;
        const char* edgeElement;
        float expectedEdge;
    };

    const Case cases[] = {
        { "element missing", "", 30.0f },
        { "value attribute missing", R"(<PARAM id="edge"/>)", 30.0f },
        { "nan", R"(<PARAM id="edge" value="nan"/>)", 30.0f },
        { "inf", R"(<PARAM id="edge" value="inf"/>)", 30.0f },
        { "-inf", R"(<PARAM id="edge" value="-inf"/>)", 30.0f },
        { "overflowing exponent", R"(<PARAM id="edge" value="-1e999"/>)", 30.0f },
        { "finite above range clamps", R"(<PARAM id="edge" value="250"/>)", 100.0f },
        { "finite below range clamps", R"(<PARAM id="edge" value="-1e30"/>)", -100.0f },
        { "in range applies", R"(<PARAM id="edge" value="-12.5"/>)", -12.5f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        OstrelAudioProcessor p;
        p.setParamValue (ParamIDs::edge, 30.0f);

        restore (p, frame (juce::String ("<PARAMETERS>") + c.edgeElement
                           + R"(<PARAM id="shape" value="80"/></PARAMETERS>)"));

        EXPECT_FLOAT_EQ (valueOf (p, ParamIDs::edge), c.expectedEdge);
        EXPECT_FLOAT_EQ (valueOf (p, ParamIDs::shape), 80.0f);
        EXPECT_TRUE (std::isfinite (p.apvts.getParameter (ParamIDs::edge)->getValue()));
    }
}

TEST (SessionState, RestoringNeverMarksThePresetModified)
{
    OstrelAudioProcessor saved;
    setNonDefaultValues (saved);
    saved.setCurrentPresetInfo ("Loud Mix Bus", false, false);

    OstrelAudioProcessor restored;
    restore (restored, saveState (saved));
    OstrelAudioProcessor fresh;
    ASSERT_NE (parameterValues (restored), parameterValues (fresh));
    EXPECT_FALSE (restored.isCurrentPresetModified());

    restored.setParamValue (ParamIDs::mix, 10.0f);
    EXPECT_TRUE (restored.isCurrentPresetModified());
}
