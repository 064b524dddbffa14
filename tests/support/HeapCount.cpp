#include "tests/support/HeapCount.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<size_t> g_current{0};
std::atomic<size_t> g_peak{0};

void* Counted(void* p)
{
    if (!p)
        return nullptr;
    const size_t now = g_current.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now))
    {
    }
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
    g_current.fetch_sub(malloc_usable_size(p));
    std::free(p);
}
} // namespace

namespace HeapCount
{
size_t Current()
{
    return g_current.load();
}

size_t Peak()
{
    return g_peak.load();
}

void ResetPeak()
{
    g_peak.store(g_current.load());
}
} // namespace HeapCount

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
