#include "MainThread.hpp"

#include "GSException.hpp"

#include <exception>

namespace HostSim {

MainThread::MainThread() : mainId(std::this_thread::get_id()) {}

void MainThread::SetErrorHandler(ErrorHandler handler) {
    const std::lock_guard lock(mutex);
    errorHandler = std::move(handler);
}

void MainThread::Post(Task task) {
    {
        const std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
        ++generation;
    }
    wake.notify_all();
}

void MainThread::Notify() {
    {
        const std::lock_guard lock(mutex);
        ++generation;
    }
    wake.notify_all();
}

std::size_t MainThread::Pump() {
    std::deque<Task> batch;
    ErrorHandler onError;
    {
        const std::lock_guard lock(mutex);
        batch.swap(tasks);
        onError = errorHandler;
    }
    for (Task& task : batch) {
        try {
            task();
        } catch (const GS::Exception& e) {
            if (onError) onError(e.GetMessage().ToCStr(CC_UTF8).ToString());
        } catch (const std::exception& e) {
            if (onError) onError(e.what());
        } catch (...) {
            if (onError) onError("unknown exception");
        }
    }
    return batch.size();
}

bool MainThread::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::uint64_t seen = 0;
        {
            const std::lock_guard lock(mutex);
            seen = generation;
        }
        Pump();
        if (done()) return true;
        std::unique_lock lock(mutex);
        if (!wake.wait_until(lock, deadline, [&] { return generation != seen; })) {
            lock.unlock();
            Pump();
            return done();
        }
    }
}

} // namespace HostSim
