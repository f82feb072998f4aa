#pragma once

#include <juce_core/juce_core.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string_view>

/** Safe parsing of XML text that arrives as raw bytes (session blobs, preset files).

    The framework's XML parser walks UTF-8 by lead bytes, so a multi-byte sequence cut short at the
    end of the text makes it read past the end of the buffer; it loops for ever on a processing
    instruction followed by text inside an element, and on entities that refer to each other; an
    unterminated hexadecimal character reference at the end also makes it read past the end.
    None of these occurs in what the plug-in writes, so such text is refused before parsing.
*/
namespace XmlText
{
/** True when the bytes, up to the first zero byte or numBytes, are text the framework's parser
    handles safely: valid UTF-8, with no processing instruction ("<?") other than a leading XML
    declaration (one inside an element's content sends the parser into an endless loop) and no
    document type declaration (its entities can expand into each other without end), and every
    hexadecimal character reference closed by ';'.
*/
inline bool isSafeToParse (const void* data, int numBytes)
{
    const auto* text = static_cast<const char*> (data);

    if (numBytes <= 0)
        return true;

    if (! juce::CharPointer_UTF8::isValidString (text, numBytes))
        return false;

    const std::string_view view (text, strnlen (text, (size_t) numBytes));
    const auto start = view.find_first_not_of (" \t\r\n");
    const auto searchFrom = (start != std::string_view::npos && view.compare (start, 2, "<?") == 0) ? start + 2 : 0;
    if (view.find ("<?", searchFrom) != std::string_view::npos || view.find ("<!DOCTYPE") != std::string_view::npos)
        return false;

    // A hexadecimal character reference must end in ';': the parser steps over whatever ends it,
    // the end of the text included.
    for (auto ref = view.find ("&#"); ref != std::string_view::npos; ref = view.find ("&#", ref + 2))
    {
        if (ref + 2 >= view.size() || (view[ref + 2] != 'x' && view[ref + 2] != 'X'))
            continue;

        auto end = ref + 3;

        while (end < view.size() && std::isxdigit ((unsigned char) view[end]))
            ++end;

        if (end >= view.size() || view[end] != ';')
            return false;
    }

    return true;
}

/** Parses a file's bytes as an XML document: UTF-16 with a byte-order mark, or UTF-8 with or
    without one. Gives nullptr for text that is not safe to parse (above) or not XML.
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

    if (size <= 0 || ! isSafeToParse (text, size))
        return nullptr;

    return juce::parseXML (juce::String::fromUTF8 (text, size));
}
} // namespace XmlText
