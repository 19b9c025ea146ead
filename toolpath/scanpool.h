#ifndef TAVO_TOOLPATH_SCANPOOL_H
#define TAVO_TOOLPATH_SCANPOOL_H

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Threads that scan batches while the reading thread makes the moves of the
// batches before; with no thread to spare, the caller scans them itself.
template <typename Batch, typename Scan> class ScanPool
{
public:
    ScanPool(unsigned threads, Scan scan) : m_scan(scan)
    {
        for (unsigned i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~ScanPool()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (std::thread& thread : m_threads)
            thread.join();
    }

    void submit(Batch* batch, std::size_t from)
    {
        if (m_threads.empty()) {
            m_scan(*batch, from);
            m_done.push_back(batch);
            return;
        }
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_jobs.push_back({batch, from});
        }
        m_wake.notify_one();
    }

    // Waits until the batch is scanned; one that no thread has taken up yet
    // is scanned here rather than waited for.
    void wait(Batch* batch)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        const auto job = std::find_if(m_jobs.begin(), m_jobs.end(), [batch](const auto& queued) {
            return queued.first == batch;
        });
        if (job != m_jobs.end()) {
            const std::size_t from = job->second;
            m_jobs.erase(job);
            lock.unlock();
            m_scan(*batch, from);
            return;
        }
        m_finished.wait(
            lock, [&] { return std::find(m_done.begin(), m_done.end(), batch) != m_done.end(); });
        m_done.erase(std::find(m_done.begin(), m_done.end(), batch));
    }

private:
    void work()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            const auto job = m_jobs.front();
            m_jobs.pop_front();
            lock.unlock();
            m_scan(*job.first, job.second);
            lock.lock();
            m_done.push_back(job.first);
            m_finished.notify_all();
        }
    }

    Scan m_scan;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    std::deque<std::pair<Batch*, std::size_t>> m_jobs;
    std::vector<Batch*> m_done;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

#endif
