#pragma once

#include <juce_core/juce_core.h>

#include <memory>

/** Safe parsing of XML text that arrives as raw bytes (session blobs, preset files).

    The framework's XML parser walks UTF-8 by lead bytes: a multi-byte sequence cut short at the
    end of the text makes it read past the end of the buffer. Text that is not valid UTF-8 is not
    XML either, so it is refused before the parser sees it.
*/
namespace XmlText
{
/** True when the bytes, up to the first zero byte or numBytes, are valid UTF-8. */
inline bool isValidUtf8 (const void* data, int numBytes)
{
    return numBytes <= 0 || juce::CharPointer_UTF8::isValidString (static_cast<const char*> (data), numBytes);
}

/** Parses a file's bytes as an XML document: UTF-16 with a byte-order mark, or UTF-8 with or
    without one. Gives nullptr for text that is not valid UTF-8 or not XML.
*/
inline std::unique_ptr<juce::XmlElement> parseFileData (const juce::MemoryBlock& bytes)
{
    const auto* text = static_cast<const char*> (bytes.getData());
    auto size = (int) bytes.getSize();

    if (size >= 2
        && (juce::CharPointer_UTF16::isByteOrderMarkBigEndian (text)
            || juce::CharPointer_UTF16::isByteOrderMarkLittleEndian (text)))
        return juce::parseXML (juce::String::createStringFromData (text, size));

    if (size >= 3 && juce::CharPointer_UTF8::isByteOrderMark (text))
    {
        text += 3;
        size -= 3;
    }

    if (size <= 0 || ! isValidUtf8 (text, size))
        return nullptr;

    return juce::parseXML (juce::String::fromUTF8 (text, size));
}
} // namespace XmlText
