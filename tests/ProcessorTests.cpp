#include "PluginProcessor.h"

#include <gtest/gtest.h>

TEST (Processor, ReportsItsName)
{
    OstrelAudioProcessor processor;
    EXPECT_EQ (processor.getName(), "Ostrel");
}
