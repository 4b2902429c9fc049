#include "platform/dialog/WorkerThread.h"

#include <atomic>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/dialog/backend/Backend.h"
#include "platform/dialog/backend/DialogAccess.h"

namespace kelvra::platform {

namespace {

thread_local bool tWorkerThread = false;

struct Worker {
    std::thread thread;
    std::atomic<bool> finished{false};
};

struct Workers {
    std::mutex mutex;
    std::list<Worker> workers;
    std::atomic<int> running{0};

    // Joins the workers that have returned, so that finished threads do not pile up.
    void reapFinished() {
        std::list<Worker> finished;
        {
            std::lock_guard lock(mutex);
            for (auto it = workers.begin(); it != workers.end();) {
                auto next = std::next(it);
                if (it->finished.load(std::memory_order_acquire)) {
                    finished.splice(finished.end(), workers, it);
                }
                it = next;
            }
        }
        for (Worker& worker : finished) {
            worker.thread.join();
        }
    }
};

Workers& workers() {
    static Workers instance;
    return instance;
}

}  // namespace

bool isWorkerThread() {
    return tWorkerThread;
}

bool AfxBeginThread(AFX_THREADPROC proc, void* param) {
    Workers& all = workers();
    all.reapFinished();
    std::lock_guard lock(all.mutex);
    Worker& worker = all.workers.emplace_back();
    all.running.fetch_add(1, std::memory_order_acq_rel);
    try {
        worker.thread = std::thread([proc, param, &worker, &all] {
            tWorkerThread = true;
            proc(param);
            all.running.fetch_sub(1, std::memory_order_acq_rel);
            worker.finished.store(true, std::memory_order_release);
            backend::workerEnded();
        });
    } catch (const std::system_error&) {
        all.running.fetch_sub(1, std::memory_order_acq_rel);
        all.workers.pop_back();
        return false;
    }
    return true;
}

int AfxRunningWorkerCount() {
    return workers().running.load(std::memory_order_acquire);
}

void joinAllWorkers() {
    Workers& all = workers();
    std::list<Worker> joining;
    {
        std::lock_guard lock(all.mutex);
        joining.splice(joining.end(), all.workers);
    }
    for (Worker& worker : joining) {
        worker.thread.join();
    }
}

}  // namespace kelvra::platform
