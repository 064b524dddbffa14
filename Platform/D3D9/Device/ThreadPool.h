// The device's workers: one pool per device, so that drawing never creates a thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace Soft9
{
class ThreadPool
{
public:
    ThreadPool();
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Threads that work on a job, the calling one included; 0 means one per core.
    void SetThreads(unsigned count);
    unsigned Threads() const { return static_cast<unsigned>(m_workers.size()) + 1; }

    // Calls task(context, index) once for each index below `count`, spread over the threads, and
    // returns when all calls have returned. Indices are handed out in rising order.
    using Task = void (*)(void* context, unsigned index);
    void Run(unsigned count, Task task, void* context);

private:
    void Work(unsigned generation);
    void Drain();
    void Stop();

    std::vector<std::thread> m_workers;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    unsigned m_generation = 0;
    std::atomic<unsigned> m_published{0}; // m_generation, for workers that look without the lock
    bool m_stopping = false;
    Task m_task = nullptr;
    void* m_context = nullptr;
    unsigned m_count = 0;
    std::atomic<unsigned> m_next{0};
    std::atomic<unsigned> m_finished{0};
    std::atomic<unsigned> m_busy{0}; // workers inside the current job
};
} // namespace Soft9
