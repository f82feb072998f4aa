#include "Report.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace report
{
namespace
{
// Checks may fail on an audio thread while the main thread reports too.
std::atomic<int> failures { 0 };
std::mutex printLock;
bool verboseOutput = false;
std::string step;
char* sharedStep = nullptr;
std::size_t sharedStepSize = 0;
} // namespace

void fail (const std::string& message)
{
    ++failures;
    const std::lock_guard<std::mutex> guard (printLock);
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
        const std::lock_guard<std::mutex> guard (printLock);
        std::printf ("  %s\n", message.c_str());
        std::fflush (stdout);
    }
}

int failureCount() { return failures.load(); }
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
