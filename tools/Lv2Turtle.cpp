#include "Lv2Turtle.h"

#include <cmath>
#include <cstdio>
#include <locale>
#include <regex>
#include <sstream>
#include <vector>

namespace
{
struct NumberToken
{
    std::size_t position = 0; // offset of the number in the parameter's block
    std::size_t length = 0;
    double value = 0.0;
};

bool parseNumber (const std::string& text, double& value)
{
    std::istringstream stream (text);
    stream.imbue (std::locale::classic());
    stream >> value;
    return ! stream.fail() && stream.eof() && std::isfinite (value);
}

std::string formatNumber (double value)
{
    const auto rounded = std::round (value);

    if (std::abs (value - rounded) < 1.0e-9)
        value = rounded;

    std::ostringstream stream;
    stream.imbue (std::locale::classic());
    stream.precision (9);
    stream << (value == 0.0 ? 0.0 : value);
    return stream.str();
}

bool findNumber (const std::string& block, const std::regex& pattern, NumberToken& token)
{
    std::smatch match;

    if (! std::regex_search (block, match, pattern))
        return false;

    token.position = (std::size_t) match.position (1);
    token.length = (std::size_t) match.length (1);
    return parseNumber (match.str (1), token.value);
}

bool allNear (const std::vector<NumberToken>& points, double first, double step)
{
    const auto tolerance = 1.0e-5 * std::max (1.0, std::abs (step));

    for (std::size_t i = 0; i < points.size(); ++i)
        if (std::abs (points[i].value - (first + (double) i * step)) > tolerance)
            return false;

    return true;
}
} // namespace

Lv2TurtleResult correctLv2ScalePoints (const std::string& turtle)
{
    // The wrapper writes one statement per parameter, separated by blank lines.
    static const std::regex parameterStart (R"((^|\n)(\S+)\n\s*a lv2:Parameter\b)");
    static const std::regex minimumPattern (R"(lv2:minimum\s+([^\s;\]]+))");
    static const std::regex maximumPattern (R"(lv2:maximum\s+([^\s;\]]+))");
    static const std::regex valuePattern (R"(rdf:value\s+([^\s;\]]+))");

    Lv2TurtleResult result;
    std::string& out = result.turtle;
    std::size_t copied = 0;

    for (auto it = std::sregex_iterator (turtle.begin(), turtle.end(), parameterStart); it != std::sregex_iterator();
         ++it)
    {
        const auto start = (std::size_t) it->position (2);
        const auto name = it->str (2);
        auto end = turtle.find ("\n\n", start);

        if (end == std::string::npos)
            end = turtle.size();

        const auto block = turtle.substr (start, end - start);

        std::vector<NumberToken> points;
        for (auto v = std::sregex_iterator (block.begin(), block.end(), valuePattern); v != std::sregex_iterator(); ++v)
        {
            NumberToken token { (std::size_t) v->position (1), (std::size_t) v->length (1), 0.0 };

            if (! parseNumber (v->str (1), token.value))
            {
                result.error = "unreadable scale point value in " + name;
                return result;
            }

            points.push_back (token);
        }

        if (points.size() < 2)
            continue;

        NumberToken minimum, maximum;

        if (! findNumber (block, minimumPattern, minimum) || ! findNumber (block, maximumPattern, maximum))
        {
            result.error = "no readable range for the scale points of " + name;
            return result;
        }

        const auto intervals = (double) (points.size() - 1);
        const auto step = (maximum.value - minimum.value) / intervals;

        if (allNear (points, minimum.value, step))
            continue;

        if (! allNear (points, 0.0, 1.0 / intervals))
        {
            result.error = "the scale points of " + name + " follow neither its range nor 0 to 1";
            return result;
        }

        // Rewrite the values from the last to the first, so earlier offsets stay valid.
        auto corrected = block;
        for (auto i = points.size(); i-- > 0;)
            corrected.replace (points[i].position, points[i].length, formatNumber (minimum.value + (double) i * step));

        out.append (turtle, copied, start - copied);
        out += corrected;
        copied = end;
        ++result.corrections;
    }

    out.append (turtle, copied, std::string::npos);
    return result;
}

Lv2TurtleResult removeEmptyLv2Mailbox (const std::string& turtle)
{
    static const std::regex emptyMailbox (R"(\n[ \t]*foaf:mbox[ \t]*<>[ \t]*;)");

    Lv2TurtleResult result;
    result.corrections =
        (int) std::distance (std::sregex_iterator (turtle.begin(), turtle.end(), emptyMailbox), std::sregex_iterator());
    result.turtle = std::regex_replace (turtle, emptyMailbox, "");
    return result;
}
