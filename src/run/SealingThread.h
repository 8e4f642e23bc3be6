#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace quillora::run {

/// An encrypted page's unlock page, or why it could not be made.
struct SealResult {
    std::error_code error;
    std::string bytes;
};

/// Seals encrypted pages on a thread of its own while the run reads and rewrites the next ones: deflating and
/// encrypting a page costs about as much as everything else the run does with it. Pages are sealed one at a time,
/// in the order they are handed over (an encryptor seals on one thread at a time); each page's future is waited for
/// where it is written. (A second sealing thread makes a run on two cores slower: four threads then share them.)
class SealingThread {
public:
    SealingThread();
    /// Seals what is still waiting, then ends: no page handed over is left without its unlock page.
    ~SealingThread();
    SealingThread(const SealingThread&) = delete;
    SealingThread& operator=(const SealingThread&) = delete;

    std::future<SealResult> seal(std::function<SealResult()> work);

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::packaged_task<SealResult()>> m_work; // the work running and waiting; guarded by m_mutex
    bool m_stopping = false;                             // guarded by m_mutex
    std::thread m_thread;
};

} // namespace quillora::run
