#include "Report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace report
{
namespace
{
int failures = 0;
bool verboseOutput = false;
std::string step;
char* sharedStep = nullptr;
std::size_t sharedStepSize = 0;
} // namespace

void fail (const std::string& message)
{
    ++failures;
    std::printf ("  FAIL [%s] %s\n", step.c_str(), message.c_str());
    std::fflush (stdout);
}

bool expect (bool condition, const std::string& message)
{
    if (! condition)
        fail (message);

    return condition;
}

void info (const std::string& message)
{
    if (verboseOutput)
    {
        std::printf ("  %s\n", message.c_str());
        std::fflush (stdout);
    }
}

int failureCount() { return failures; }
void setVerbose (bool verbose) { verboseOutput = verbose; }
bool isVerbose() { return verboseOutput; }

void setStep (const std::string& newStep)
{
    step = newStep;

    if (sharedStep != nullptr && sharedStepSize > 0)
    {
        const auto length = std::min (step.size(), sharedStepSize - 1);
        std::memcpy (sharedStep, step.data(), length);
        sharedStep[length] = '\0';
    }

    info ("step: " + step);
}

const std::string& currentStep() { return step; }

void useSharedStepBuffer (char* buffer, std::size_t size)
{
    sharedStep = buffer;
    sharedStepSize = size;
}
} // namespace report
