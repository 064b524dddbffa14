#include "tests/support/HeapCount.h"

#include <atomic>
#include <cstdint>

// GCC tells of the address sanitizer by a macro, clang by a feature.
#if defined(__SANITIZE_ADDRESS__)
#define KELVANE_HEAP_NOTICES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVANE_HEAP_NOTICES 1
#endif
#endif

// Signed, so that a block taken before counting began and given back afterwards only lowers the
// count; differences between two readings stay exact.
namespace
{
std::atomic<int64_t> g_current{0};
std::atomic<int64_t> g_peak{0};

[[maybe_unused]] void Add(int64_t bytes)
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

#ifdef KELVANE_HEAP_NOTICES
// The address sanitizer's allocator tells of every block taken and given back, so the global
// operators stay the sanitizer's own and keep their checks.
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

const bool g_counting = __sanitizer_install_malloc_and_free_hooks(Taken, Given) != 0;
} // namespace
#else
namespace
{
const bool g_counting = false;
}
#endif

bool HeapCount::Counting()
{
    return g_counting;
}
