#include "tests/support/HeapCount.h"

#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

// Signed, so that a block taken before counting began and given back afterwards only lowers the
// count; differences between two readings stay exact.
namespace
{
std::atomic<int64_t> g_current{0};
std::atomic<int64_t> g_peak{0};

void Add(int64_t bytes)
{
    const int64_t now = g_current.fetch_add(bytes) + bytes;
    int64_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now))
    {
    }
}
} // namespace

namespace HeapCount
{
size_t Current()
{
    return static_cast<size_t>(g_current.load());
}

size_t Peak()
{
    return static_cast<size_t>(g_peak.load());
}

void ResetPeak()
{
    g_peak.store(g_current.load());
}
} // namespace HeapCount

#ifdef __SANITIZE_ADDRESS__
// Under the address sanitizer its allocator tells of every block taken and given back, so the
// global operators stay the sanitizer's own and keep their checks (a delete that does not match
// its new, a block given back twice).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*taken)(const volatile void*, size_t),
                                                        void (*given)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* p);

namespace
{
void Taken(const volatile void*, size_t size)
{
    Add(static_cast<int64_t>(size));
}

void Given(const volatile void* p)
{
    if (p)
        Add(-static_cast<int64_t>(__sanitizer_get_allocated_size(p)));
}

const bool g_hooked = __sanitizer_install_malloc_and_free_hooks(Taken, Given) != 0;
} // namespace
#else
namespace
{
void* Counted(void* p)
{
    if (p)
        Add(static_cast<int64_t>(malloc_usable_size(p)));
    return p;
}

void* Take(size_t size, size_t alignment = 0)
{
    if (size == 0)
        size = 1;
    void* p = alignment > alignof(std::max_align_t)
                  ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                  : std::malloc(size);
    return Counted(p);
}

void* TakeOrThrow(size_t size, size_t alignment = 0)
{
    if (void* p = Take(size, alignment))
        return p;
    throw std::bad_alloc();
}

void Give(void* p) noexcept
{
    if (!p)
        return;
    Add(-static_cast<int64_t>(malloc_usable_size(p)));
    std::free(p);
}
} // namespace

// Elsewhere this unit counts what goes through the global operators.
void* operator new(size_t size)
{
    return TakeOrThrow(size);
}
void* operator new[](size_t size)
{
    return TakeOrThrow(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return Take(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return Take(size);
}
void* operator new(size_t size, std::align_val_t alignment)
{
    return TakeOrThrow(size, static_cast<size_t>(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment)
{
    return TakeOrThrow(size, static_cast<size_t>(alignment));
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return Take(size, static_cast<size_t>(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return Take(size, static_cast<size_t>(alignment));
}
void operator delete(void* p) noexcept
{
    Give(p);
}
void operator delete[](void* p) noexcept
{
    Give(p);
}
void operator delete(void* p, size_t) noexcept
{
    Give(p);
}
void operator delete[](void* p, size_t) noexcept
{
    Give(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    Give(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    Give(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    Give(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    Give(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept
{
    Give(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept
{
    Give(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept
{
    Give(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept
{
    Give(p);
}
#endif
