#include "SealingThread.h"

#include <utility>

namespace quillora::run {

SealingThread::SealingThread() : m_thread([this] { loop(); }) {}

SealingThread::~SealingThread() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_one();
    m_thread.join();
}

std::future<SealResult> SealingThread::seal(std::function<SealResult()> work) {
    std::packaged_task<SealResult()> task(std::move(work));
    auto sealed = task.get_future();
    bool wasIdle = false;
    {
        const std::lock_guard lock(m_mutex);
        wasIdle = m_work.empty();
        m_work.push_back(std::move(task));
    }
    if (wasIdle) // the thread waits only when nothing is left; busy, it takes the next work by itself
        m_changed.notify_one();
    return sealed;
}

void SealingThread::loop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return !m_work.empty() || m_stopping; });
        if (m_work.empty())
            return;                  // stopping, and nothing is left
        auto& task = m_work.front(); // stays in the queue while it runs: the thread is not idle
        lock.unlock();
        task(); // an exception goes to the future
        lock.lock();
        m_work.pop_front();
    }
}

} // namespace quillora::run
