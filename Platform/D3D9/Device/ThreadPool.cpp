#include "Platform/D3D9/Device/ThreadPool.h"

namespace Soft9
{
ThreadPool::ThreadPool()
{
    SetThreads(0);
}

ThreadPool::~ThreadPool()
{
    Stop();
}

void ThreadPool::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_published.store(m_generation + 1, std::memory_order_release);
    }
    m_wake.notify_all();
    for (std::thread& t : m_workers)
        t.join();
    m_workers.clear();
    m_stopping = false;
}

void ThreadPool::SetThreads(unsigned count)
{
    if (count == 0)
        count = std::max(1u, std::thread::hardware_concurrency());
    if (count == Threads() && !m_workers.empty())
        return;
    Stop();
    unsigned generation = m_generation;
    for (unsigned i = 1; i < count; ++i)
        m_workers.emplace_back([this, generation] { Work(generation); });
}

void ThreadPool::Drain()
{
    for (;;)
    {
        unsigned index = m_next.fetch_add(1, std::memory_order_relaxed);
        if (index >= m_count)
            return;
        m_task(m_context, index);
        m_finished.fetch_add(1, std::memory_order_acq_rel);
    }
}

void ThreadPool::Work(unsigned seen)
{
    for (;;)
    {
        // A frame's draws follow each other closely: look for the next job a little while before
        // going to sleep, which costs a wake-up each time.
        for (int i = 0; i < 2000 && m_published.load(std::memory_order_acquire) == seen; ++i)
        {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#else
            std::this_thread::yield();
#endif
        }
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || m_generation != seen; });
            if (m_stopping)
                return;
            seen = m_generation;
            m_busy.fetch_add(1, std::memory_order_relaxed);
        }
        Drain();
        if (m_busy.fetch_sub(1, std::memory_order_acq_rel) == 1)
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done.notify_all();
        }
    }
}

void ThreadPool::Run(unsigned count, Task task, void* context)
{
    if (count == 0)
        return;
    if (m_workers.empty() || count == 1)
    {
        for (unsigned i = 0; i < count; ++i)
            task(context, i);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_task = task;
        m_context = context;
        m_count = count;
        m_next.store(0, std::memory_order_relaxed);
        m_finished.store(0, std::memory_order_relaxed);
        ++m_generation;
        m_published.store(m_generation, std::memory_order_release);
    }
    m_wake.notify_all();
    Drain();
    // Every index is taken; wait until the workers that took one have finished it.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [&] { return m_finished.load(std::memory_order_acquire) == m_count; });
    // A worker that woke late may still be between its wake-up and its first look at m_next;
    // it finds nothing to do, but the job's fields must stay until it has looked.
    m_done.wait(lock, [&] { return m_busy.load(std::memory_order_acquire) == 0; });
}
} // namespace Soft9
