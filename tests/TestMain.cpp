#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// Every test run gets a fresh, empty home folder, so no test reads or writes the user's own
// presets and preferences.
int main (int argc, char** argv)
{
    std::string home = "/tmp/ostrel-test-home-XXXXXX";

    if (mkdtemp (home.data()) == nullptr)
        return 1;

    setenv ("HOME", home.c_str(), 1);

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        ::testing::InitGoogleTest (&argc, argv);
        result = RUN_ALL_TESTS();
    }

    juce::File (home).deleteRecursively();
    return result;
}
