#pragma once

#include <cstdint>

/** Counts what a stretch of code asks of the heap and of mutexes on the calling thread.

    This test binary replaces the global allocation and deallocation functions and interposes
    pthread_mutex_lock and pthread_mutex_trylock (which every juce::CriticalSection, std::mutex and
    the framework's other blocking locks go through on Linux). Only calls made on a thread that
    has armed the probe are counted, so the framework's own threads do not disturb a measurement.
*/
namespace RealtimeProbe
{
struct Counts
{
    std::int64_t allocations = 0;
    std::int64_t deallocations = 0;
    std::int64_t mutexLocks = 0;   // lock and trylock calls on any mutex
    std::int64_t watchedLocks = 0; // of those, calls on the watched mutex
};

/** Starts counting on this thread from zero. A lock attempt on the mutex at watchedMutex (a
    juce::CriticalSection on Linux is exactly one pthread mutex) is also counted separately.
*/
void arm (const void* watchedMutex = nullptr) noexcept;

/** Stops counting on this thread and returns what was counted since arm. */
Counts disarm() noexcept;
} // namespace RealtimeProbe
