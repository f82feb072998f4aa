#include "RealtimeProbe.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <dlfcn.h>
#include <new>
#include <pthread.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTREL_PROBE_SANITIZED_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && ! defined(OSTREL_PROBE_SANITIZED_HEAP)
#define OSTREL_PROBE_SANITIZED_HEAP 1
#endif

namespace
{
// Plain thread-locals with constant initialisers: reading them never allocates or locks.
thread_local bool armed = false;
thread_local const void* watched = nullptr;
thread_local RealtimeProbe::Counts counts;

void countAllocation() noexcept
{
    if (armed)
        ++counts.allocations;
}

void countDeallocation (const void* p) noexcept
{
    if (armed && p != nullptr)
        ++counts.deallocations;
}

void countLock (const void* mutex) noexcept
{
    if (! armed)
        return;

    ++counts.mutexLocks;

    if (mutex == watched)
        ++counts.watchedLocks;
}
} // namespace

namespace RealtimeProbe
{
void arm (const void* watchedMutex) noexcept
{
    counts = {};
    watched = watchedMutex;
    armed = true;
}

Counts disarm() noexcept
{
    armed = false;
    return counts;
}
} // namespace RealtimeProbe

//==============================================================================
// The C allocator. The framework's HeapBlock and AudioBuffer allocate with malloc, not new.
#if OSTREL_PROBE_SANITIZED_HEAP
// AddressSanitizer owns malloc; it reports every allocation to these hooks.
extern "C" void __sanitizer_malloc_hook (const volatile void*, std::size_t) { countAllocation(); }
extern "C" void __sanitizer_free_hook (const volatile void* p) { countDeallocation (const_cast<const void*> (p)); }

namespace
{
void* heapAllocate (std::size_t size) noexcept { return std::malloc (size); }
void* heapAllocateAligned (std::size_t size, std::size_t alignment) noexcept
{
    void* p = nullptr;
    return posix_memalign (&p, alignment, size) == 0 ? p : nullptr;
}
void heapFree (void* p) noexcept { std::free (p); }
} // namespace
#else
// glibc exports its allocator under these names, so the interposed functions can forward to it
// without looking anything up (a lookup could itself allocate).
extern "C"
{
    void* __libc_malloc (std::size_t);
    void* __libc_calloc (std::size_t, std::size_t);
    void* __libc_realloc (void*, std::size_t);
    void* __libc_memalign (std::size_t, std::size_t);
    void __libc_free (void*);
}

namespace
{
void* heapAllocate (std::size_t size) noexcept { return __libc_malloc (size); }
void* heapAllocateAligned (std::size_t size, std::size_t alignment) noexcept
{
    return __libc_memalign (alignment, size);
}
void heapFree (void* p) noexcept { __libc_free (p); }
} // namespace

extern "C"
{
    void* malloc (std::size_t size)
    {
        countAllocation();
        return __libc_malloc (size);
    }

    void* calloc (std::size_t n, std::size_t size)
    {
        countAllocation();
        return __libc_calloc (n, size);
    }

    void* realloc (void* p, std::size_t size)
    {
        countAllocation();
        return __libc_realloc (p, size);
    }

    void free (void* p)
    {
        countDeallocation (p);
        __libc_free (p);
    }

    int posix_memalign (void** result, std::size_t alignment, std::size_t size)
    {
        countAllocation();
        *result = __libc_memalign (alignment, size);
        return *result != nullptr ? 0 : ENOMEM;
    }

    void* aligned_alloc (std::size_t alignment, std::size_t size)
    {
        countAllocation();
        return __libc_memalign (alignment, size);
    }

    void* memalign (std::size_t alignment, std::size_t size)
    {
        countAllocation();
        return __libc_memalign (alignment, size);
    }
}
#endif

//==============================================================================
// Every replaceable global allocation and deallocation function.
namespace
{
void* newOrThrow (std::size_t size)
{
    countAllocation();

    if (auto* p = heapAllocate (size == 0 ? 1 : size))
        return p;

    throw std::bad_alloc();
}

void* newAlignedOrThrow (std::size_t size, std::align_val_t alignment)
{
    countAllocation();

    if (auto* p = heapAllocateAligned (size == 0 ? 1 : size, static_cast<std::size_t> (alignment)))
        return p;

    throw std::bad_alloc();
}

void release (void* p) noexcept
{
    countDeallocation (p);
    heapFree (p);
}
} // namespace

void* operator new (std::size_t size) { return newOrThrow (size); }
void* operator new[] (std::size_t size) { return newOrThrow (size); }
void* operator new (std::size_t size, std::align_val_t a) { return newAlignedOrThrow (size, a); }
void* operator new[] (std::size_t size, std::align_val_t a) { return newAlignedOrThrow (size, a); }

void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    countAllocation();
    return heapAllocate (size == 0 ? 1 : size);
}

void* operator new[] (std::size_t size, const std::nothrow_t& tag) noexcept { return operator new (size, tag); }

void* operator new (std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    countAllocation();
    return heapAllocateAligned (size == 0 ? 1 : size, static_cast<std::size_t> (a));
}

void* operator new[] (std::size_t size, std::align_val_t a, const std::nothrow_t& tag) noexcept
{
    return operator new (size, a, tag);
}

void operator delete (void* p) noexcept { release (p); }
void operator delete[] (void* p) noexcept { release (p); }
void operator delete (void* p, std::size_t) noexcept { release (p); }
void operator delete[] (void* p, std::size_t) noexcept { release (p); }
void operator delete (void* p, const std::nothrow_t&) noexcept { release (p); }
void operator delete[] (void* p, const std::nothrow_t&) noexcept { release (p); }
void operator delete (void* p, std::align_val_t) noexcept { release (p); }
void operator delete[] (void* p, std::align_val_t) noexcept { release (p); }
void operator delete (void* p, std::size_t, std::align_val_t) noexcept { release (p); }
void operator delete[] (void* p, std::size_t, std::align_val_t) noexcept { release (p); }
void operator delete (void* p, std::align_val_t, const std::nothrow_t&) noexcept { release (p); }
void operator delete[] (void* p, std::align_val_t, const std::nothrow_t&) noexcept { release (p); }

//==============================================================================
// Mutexes. The real functions are looked up once, before main, so that a lock taken inside
// dlsym itself cannot recurse into an unresolved pointer.
namespace
{
using MutexFunction = int (*) (pthread_mutex_t*);

MutexFunction lookUp (const char* name) noexcept { return reinterpret_cast<MutexFunction> (dlsym (RTLD_NEXT, name)); }

MutexFunction realLock = nullptr;
MutexFunction realTryLock = nullptr;

[[maybe_unused]] const bool mutexFunctionsResolved = []
{
    realLock = lookUp ("pthread_mutex_lock");
    realTryLock = lookUp ("pthread_mutex_trylock");
    return true;
}();
} // namespace

extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    countLock (mutex);
    return (realLock != nullptr ? realLock : lookUp ("pthread_mutex_lock")) (mutex);
}

extern "C" int pthread_mutex_trylock (pthread_mutex_t* mutex)
{
    countLock (mutex);
    return (realTryLock != nullptr ? realTryLock : lookUp ("pthread_mutex_trylock")) (mutex);
}
