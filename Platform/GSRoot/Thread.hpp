#ifndef GSROOT_THREAD_HPP
#define GSROOT_THREAD_HPP

#include "Definitions.hpp"
#include "GSRootExport.hpp"
#include "Owner.hpp"
#include "UniString.hpp"

#include <limits>
#include <memory>

namespace GS {

// A job to run on a thread of its own.
class GSROOT_DLL_EXPORT Runnable {
public:
    virtual ~Runnable();
    virtual void Run() = 0;
};

// The job of a thread, owned by the task: it is destroyed on the job's thread right after Run returns.
using RunnableTask = Owner<Runnable>;

enum class ThreadState : Int32 {
    NotStarted = 0,
    Running = 1,
    Finished = 2,
};

// A named OS thread that runs one task once.
// Thread-safety: Start, Join and the destructor are for the thread that owns the object; GetState and GetName may
// be called from any thread. The object may be destroyed while its thread runs on: the thread then goes on alone,
// keeping its task, and ends as usual. An exception leaving Run is swallowed on the worker thread; the state still
// becomes Finished. Destroying a thread that was never started destroys its task.
class GSROOT_DLL_EXPORT Thread {
public:
    static constexpr UInt32 Infinite = std::numeric_limits<UInt32>::max();

    Thread(RunnableTask task, const UniString& name);
    ~Thread();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts the OS thread; its name is this name, truncated to what the OS allows.
    // Error when the thread was started before, when there is no task, or when the OS gives no thread.
    GSErrCode Start();

    ThreadState GetState() const noexcept;
    const UniString& GetName() const noexcept { return name; }

    // Waits at most timeoutMs milliseconds for the task to end (its job destroyed). True when it has ended;
    // false on timeout, for a thread never started, and when called from the thread itself.
    bool Join(UInt32 timeoutMs = Infinite);

    static void Sleep(UInt32 milliseconds);

    // Threads of the process started through this class whose task has not ended yet.
    static USize GetRunningCount();
    // Waits at most timeoutMs milliseconds until no such thread is left; true when none is. From one of these
    // threads it returns false at once (it would wait for itself).
    static bool WaitForAllThreads(UInt32 timeoutMs = Infinite);

    // While set, Start gives Error as when the OS gives no thread, so that a host can play that failure. Thread-safe.
    static void SetStartRefusedForTesting(bool refused);

private:
    struct Control;

    UniString name;
    std::shared_ptr<Control> control; // shared with the worker while it runs
};

} // namespace GS

#endif
