#pragma once

#include <cstddef>
#include <string>

/** Failure reporting for the running check group. Every group runs in a process of its own, so
    this state is per process.
*/
namespace report
{
/** Prints a failure of the current step and counts it. */
void fail (const std::string& message);

/** Prints a failure and returns false unless the condition holds. */
bool expect (bool condition, const std::string& message);

/** Prints a line when verbose output was asked for. */
void info (const std::string& message);

int failureCount();
void setVerbose (bool verbose);
bool isVerbose();

/** Names the step that is running. The text is also kept in memory shared with the parent
    process, which quotes it when this process crashes or hangs.
*/
void setStep (const std::string& step);
const std::string& currentStep();
void useSharedStepBuffer (char* buffer, std::size_t size);
} // namespace report
