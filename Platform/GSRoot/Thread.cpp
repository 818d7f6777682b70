#include "Thread.hpp"

#include "CH.hpp"

#include <cxxabi.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace GS {

namespace {

// Linux keeps 15 bytes of a thread name, plus the terminating NUL.
constexpr Int32 OSThreadNameSize = 16;

// One lock for the ends of all threads: a thread's state becomes Finished and it leaves the running count in one
// step, so Join and WaitForAllThreads never disagree. Never destroyed: detached workers may still finish while the
// process runs its static destructors.
struct Registry {
    std::mutex mutex;
    std::condition_variable threadEnded;
    USize running = 0;

    static Registry& Get() {
        static Registry* const instance = new Registry;
        return *instance;
    }

    // Waits until `done` holds, at most timeoutMs milliseconds unless Infinite. The caller holds `lock`.
    template <typename Predicate>
    bool WaitFor(std::unique_lock<std::mutex>& lock, UInt32 timeoutMs, Predicate done) {
        if (timeoutMs == Thread::Infinite) {
            threadEnded.wait(lock, done);
            return true;
        }
        return threadEnded.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
    }
};

std::atomic<bool> startRefused = false;

// Set on the threads started here: they must not wait for all threads, themselves included.
thread_local bool isWorker = false;

} // namespace

Runnable::~Runnable() = default;

struct Thread::Control {
    RunnableTask task;
    std::string osName;
    std::atomic<ThreadState> state{ThreadState::NotStarted};
    std::thread::id workerId; // guarded by the registry's mutex

    void RunOnWorker() {
        isWorker = true;
        Registry& registry = Registry::Get();
        {
            const std::lock_guard<std::mutex> lock(registry.mutex);
            workerId = std::this_thread::get_id();
        }
        pthread_setname_np(pthread_self(), osName.c_str());
        try {
            task->Run();
        } catch (const abi::__forced_unwind&) {
            throw; // thread cancellation must unwind to the end
        } catch (...) {
            // A job's failure must not end the process; the host does not report it either.
        }
        task.Reset(); // the job is destroyed here, on its own thread, before anyone sees the thread finished
        {
            const std::lock_guard<std::mutex> lock(registry.mutex);
            state.store(ThreadState::Finished);
            --registry.running;
        }
        registry.threadEnded.notify_all();
    }
};

Thread::Thread(RunnableTask task, const UniString& name) : name(name), control(std::make_shared<Control>()) {
    control->task = std::move(task);
    char osName[OSThreadNameSize];
    CHTruncate(name.ToCStr().Get(), osName, OSThreadNameSize);
    control->osName = osName;
}

Thread::~Thread() = default;

GSErrCode Thread::Start() {
    if (control->state.load() != ThreadState::NotStarted || control->task.IsNull()) return Error;
    if (startRefused.load()) return Error;

    Registry& registry = Registry::Get();
    {
        const std::lock_guard<std::mutex> lock(registry.mutex);
        ++registry.running;
        control->state.store(ThreadState::Running);
    }
    try {
        // The worker shares the control block, so this object may go away before the worker ends.
        std::thread([shared = control] { shared->RunOnWorker(); }).detach();
    } catch (const std::exception&) {
        {
            const std::lock_guard<std::mutex> lock(registry.mutex);
            --registry.running;
            control->state.store(ThreadState::NotStarted);
        }
        registry.threadEnded.notify_all();
        return Error;
    }
    return NoError;
}

ThreadState Thread::GetState() const noexcept {
    return control->state.load();
}

bool Thread::Join(UInt32 timeoutMs) {
    Registry& registry = Registry::Get();
    std::unique_lock<std::mutex> lock(registry.mutex);
    if (control->state.load() == ThreadState::NotStarted) return false;
    if (control->workerId == std::this_thread::get_id()) return false; // waiting for itself would never end
    return registry.WaitFor(lock, timeoutMs, [this] { return control->state.load() == ThreadState::Finished; });
}

void Thread::Sleep(UInt32 milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

USize Thread::GetRunningCount() {
    Registry& registry = Registry::Get();
    const std::lock_guard<std::mutex> lock(registry.mutex);
    return registry.running;
}

bool Thread::WaitForAllThreads(UInt32 timeoutMs) {
    if (isWorker) return false;
    Registry& registry = Registry::Get();
    std::unique_lock<std::mutex> lock(registry.mutex);
    return registry.WaitFor(lock, timeoutMs, [&registry] { return registry.running == 0; });
}

void Thread::SetStartRefusedForTesting(bool refused) {
    startRefused.store(refused);
}

} // namespace GS
