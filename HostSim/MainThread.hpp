#ifndef HOSTSIM_MAINTHREAD_HPP
#define HOSTSIM_MAINTHREAD_HPP

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>

namespace HostSim {

// The host's main thread (the thread that constructed the object) and its queue of posted tasks.
// Post, Notify and Invoke are [thread-safe]; Pump and RunUntil belong to the main thread.
class MainThread {
public:
    using Task = std::function<void()>;
    // Told the message of an exception that left a task; the loop goes on.
    using ErrorHandler = std::function<void(const std::string&)>;

    MainThread();

    bool IsCurrent() const noexcept { return std::this_thread::get_id() == mainId; }
    std::thread::id GetId() const noexcept { return mainId; }
    void SetErrorHandler(ErrorHandler handler);

    // Queues the task for the main thread and wakes a waiting RunUntil.
    void Post(Task task);
    // Wakes a waiting RunUntil so that it checks its condition again.
    void Notify();

    // [main-thread] Runs the tasks queued so far, in order; returns how many ran.
    std::size_t Pump();
    // [main-thread] Pumps until `done` holds or the timeout passes; true when `done` held. `done` is checked after
    // every pump and after every Notify, so it must be cheap and must not block.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // Runs `fn` on the main thread and returns its result (or rethrows its exception): at once when called there,
    // otherwise posted, and the caller blocks until the main thread has pumped it.
    template <typename F>
    auto Invoke(F fn) -> std::invoke_result_t<F> {
        if (IsCurrent()) return fn();
        using R = std::invoke_result_t<F>;
        auto task = std::make_shared<std::packaged_task<R()>>(std::move(fn));
        std::future<R> result = task->get_future();
        Post([task] { (*task)(); });
        return result.get();
    }

private:
    const std::thread::id mainId;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Task> tasks;
    std::uint64_t generation = 0; // bumped by Post and Notify, so a waiter misses no wake-up
    ErrorHandler errorHandler;
};

} // namespace HostSim

#endif
