#include "Lv2Turtle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// A parameter statement laid out as the framework's LV2 wrapper writes it.
std::string parameterTurtle (const std::string& id, const std::string& minimum, const std::string& maximum,
                             const std::vector<std::pair<std::string, std::string>>& points)
{
    std::string s = "plug:" + id + "\n\ta lv2:Parameter ;\n\trdfs:label \"" + id + "\" ;\n"
                    + "\trdfs:range atom:Float ;\n\tlv2:default " + minimum + " ;\n\tlv2:minimum " + minimum
                    + " ;\n\tlv2:maximum " + maximum;

    if (! points.empty())
    {
        s += "\t ;\n\tlv2:portProperty lv2:enumeration ;\n\tlv2:scalePoint ";

        for (std::size_t i = 0; i < points.size(); ++i)
            s += std::string (i != 0 ? ", " : "") + "[\n\t\trdfs:label \"" + points[i].first + "\" ;\n\t\trdf:value "
                 + points[i].second + " ;\n\t]";
    }

    return s + " .\n\n";
}

const std::string header = "@prefix plug:  <https://example.org/p:> .\n\n";
const std::string continuous = parameterTurtle ("gain", "-24", "24", {});
} // namespace

struct ScalePointCase
{
    const char* name;
    std::string minimum, maximum;
    std::vector<std::pair<std::string, std::string>> published;
    std::vector<std::pair<std::string, std::string>> expected;
    int corrected;
};

void PrintTo (const ScalePointCase& c, std::ostream* os) { *os << c.name; }

class Lv2ScalePoints : public ::testing::TestWithParam<ScalePointCase>
{
};

TEST_P (Lv2ScalePoints, ChoiceLabelsGetValuesOfTheDeclaredRange)
{
    const auto& c = GetParam();
    const auto published = header + parameterTurtle ("choice", c.minimum, c.maximum, c.published) + continuous;
    const auto expected = header + parameterTurtle ("choice", c.minimum, c.maximum, c.expected) + continuous;

    const auto result = correctLv2ScalePoints (published);
    EXPECT_EQ (result.error, "");
    EXPECT_EQ (result.corrections, c.corrected);
    EXPECT_EQ (result.turtle, expected);

    // Correcting an already corrected description changes nothing.
    const auto again = correctLv2ScalePoints (result.turtle);
    EXPECT_EQ (again.error, "");
    EXPECT_EQ (again.corrections, 0);
    EXPECT_EQ (again.turtle, expected);
}

INSTANTIATE_TEST_SUITE_P (
    Parameters, Lv2ScalePoints,
    ::testing::Values (ScalePointCase { "ThreeChoices",
                                        "0",
                                        "2",
                                        { { "Soft", "0" }, { "Hard", "0.5" }, { "Punch", "1" } },
                                        { { "Soft", "0" }, { "Hard", "1" }, { "Punch", "2" } },
                                        1 },
                       ScalePointCase { "FourChoicesRoundedThirds",
                                        "0",
                                        "3",
                                        { { "Off", "0" }, { "2x", "0.333333" }, { "4x", "0.666667" }, { "8x", "1" } },
                                        { { "Off", "0" }, { "2x", "1" }, { "4x", "2" }, { "8x", "3" } },
                                        1 },
                       ScalePointCase { "OffsetRange",
                                        "-1",
                                        "1",
                                        { { "Down", "0" }, { "Centre", "0.5" }, { "Up", "1" } },
                                        { { "Down", "-1" }, { "Centre", "0" }, { "Up", "1" } },
                                        1 },
                       ScalePointCase { "ToggleAlreadyConsistent",
                                        "0",
                                        "1",
                                        { { "Off", "0" }, { "On", "1" } },
                                        { { "Off", "0" }, { "On", "1" } },
                                        0 }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (Lv2ScalePointsErrors, ValuesFollowingNeitherRangeNameTheParameter)
{
    const auto result = correctLv2ScalePoints (
        header + parameterTurtle ("odd", "0", "2", { { "A", "0" }, { "B", "0.7" }, { "C", "2" } }));
    EXPECT_NE (result.error.find ("plug:odd"), std::string::npos) << result.error;
}

TEST (Lv2ScalePointsErrors, UnreadableValueIsReported)
{
    const auto result =
        correctLv2ScalePoints (header + parameterTurtle ("bad", "0", "1", { { "A", "0" }, { "B", "one" } }));
    EXPECT_NE (result.error.find ("plug:bad"), std::string::npos) << result.error;
}

TEST (Lv2Mailbox, EmptyMailboxIsRemovedAndTheRestKept)
{
    const std::string maintainer = "\tdoap:maintainer [\n\t\ta foaf:Person ;\n\t\tfoaf:name \"Maker\" ;\n"
                                   "\t\tfoaf:homepage <https://example.org> ;";
    const std::string end = "\n\t] ;\n";

    const auto result = removeEmptyLv2Mailbox (maintainer + "\n\t\tfoaf:mbox <> ;" + end);
    EXPECT_EQ (result.corrections, 1);
    EXPECT_EQ (result.turtle, maintainer + end);

    const auto withAddress = maintainer + "\n\t\tfoaf:mbox <mailto:info@example.org> ;" + end;
    const auto kept = removeEmptyLv2Mailbox (withAddress);
    EXPECT_EQ (kept.corrections, 0);
    EXPECT_EQ (kept.turtle, withAddress);
}
