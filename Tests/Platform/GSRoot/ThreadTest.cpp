#include "Thread.hpp"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using GS::Thread;
using GS::ThreadState;

namespace {

constexpr UInt32 Patience = 10000; // ms; a generous bound so a slow sanitizer run does not fail

// A door the test opens to let blocked jobs go on.
class Gate {
public:
    void Open() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            open = true;
        }
        cv.notify_all();
    }
    void Pass() {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [this] { return open; });
    }

private:
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
};

// What the jobs of a test did, shared with the test thread.
struct Record {
    std::atomic<int> runs{0};
    std::atomic<int> destroyed{0};
    std::atomic<bool> destroyedOnRunThread{false};
    std::mutex nameMutex;
    std::string osName; // the last job's OS thread name; read after the jobs ended
};

class Job : public GS::Runnable {
public:
    enum class Ending { Normally, WithStdException, WithOtherException };

    Job(std::shared_ptr<Record> record, Gate* gate = nullptr, Ending ending = Ending::Normally)
        : record(std::move(record)), gate(gate), ending(ending) {}
    ~Job() override {
        record->destroyedOnRunThread = runThread == std::this_thread::get_id();
        ++record->destroyed;
    }

    void Run() override {
        runThread = std::this_thread::get_id();
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        {
            const std::lock_guard<std::mutex> lock(record->nameMutex);
            record->osName = name;
        }
        if (gate != nullptr) gate->Pass();
        ++record->runs;
        if (ending == Ending::WithStdException) throw std::runtime_error("job failed");
        if (ending == Ending::WithOtherException) throw 42;
    }

private:
    std::shared_ptr<Record> record;
    Gate* gate;
    Ending ending;
    std::thread::id runThread;
};

GS::RunnableTask NewJob(const std::shared_ptr<Record>& record, Gate* gate = nullptr,
                        Job::Ending ending = Job::Ending::Normally) {
    return GS::RunnableTask(new Job(record, gate, ending));
}

// No test may leave a thread behind for the next one.
class ThreadTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(Thread::WaitForAllThreads(Patience));
        EXPECT_EQ(Thread::GetRunningCount(), 0u);
    }

    std::shared_ptr<Record> record = std::make_shared<Record>();
    Gate gate;
};

TEST_F(ThreadTest, StateGoesFromNotStartedThroughRunningToFinished) {
    Thread thread(NewJob(record, &gate), "exportModel");
    EXPECT_EQ(thread.GetState(), ThreadState::NotStarted);

    ASSERT_EQ(thread.Start(), NoError);
    EXPECT_EQ(thread.GetState(), ThreadState::Running) << "running from Start on, not only once the OS schedules it";
    EXPECT_EQ(Thread::GetRunningCount(), 1u);
    EXPECT_FALSE(thread.Join(20)) << "the job is still held at the gate";
    EXPECT_EQ(thread.GetState(), ThreadState::Running);

    gate.Open();
    ASSERT_TRUE(thread.Join(Patience));
    EXPECT_EQ(thread.GetState(), ThreadState::Finished);
    EXPECT_EQ(record->runs, 1);
    EXPECT_EQ(record->destroyed, 1) << "the job is gone once the thread is seen finished";
    EXPECT_TRUE(record->destroyedOnRunThread);
    EXPECT_EQ(Thread::GetRunningCount(), 0u) << "a joined thread no longer counts";
}

TEST_F(ThreadTest, StartingTwiceIsRefused) {
    Thread thread(NewJob(record, &gate), "twice");
    ASSERT_EQ(thread.Start(), NoError);
    EXPECT_NE(thread.Start(), NoError);
    gate.Open();
    ASSERT_TRUE(thread.Join(Patience));
    EXPECT_NE(thread.Start(), NoError) << "a finished thread does not run again";
    EXPECT_EQ(record->runs, 1);
    EXPECT_EQ(thread.GetState(), ThreadState::Finished);
}

TEST_F(ThreadTest, ThreadWithoutTaskDoesNotStart) {
    Thread thread(GS::RunnableTask(), "empty");
    EXPECT_NE(thread.Start(), NoError);
    EXPECT_EQ(thread.GetState(), ThreadState::NotStarted);
    EXPECT_FALSE(thread.Join(0));
    EXPECT_EQ(Thread::GetRunningCount(), 0u);
}

TEST_F(ThreadTest, NeverStartedThreadDestroysItsTask) {
    {
        Thread thread(NewJob(record), "unused");
        EXPECT_FALSE(thread.Join(0)) << "nothing to wait for";
    }
    EXPECT_EQ(record->runs, 0);
    EXPECT_EQ(record->destroyed, 1);
}

TEST_F(ThreadTest, ThreadObjectDestroyedWhileItsThreadRuns) {
    {
        Thread thread(NewJob(record, &gate), "exportSnapshot");
        ASSERT_EQ(thread.Start(), NoError);
    } // as the add-on does: a local thread object, gone right after Start
    EXPECT_EQ(record->destroyed, 0) << "the running thread keeps its task";
    EXPECT_EQ(Thread::GetRunningCount(), 1u);

    gate.Open();
    ASSERT_TRUE(Thread::WaitForAllThreads(Patience));
    EXPECT_EQ(record->runs, 1);
    EXPECT_EQ(record->destroyed, 1);
    EXPECT_TRUE(record->destroyedOnRunThread);
}

TEST_F(ThreadTest, ExceptionLeavingRunIsContainedOnTheWorker) {
    auto other = std::make_shared<Record>();
    Thread failing(NewJob(record, nullptr, Job::Ending::WithStdException), "failing");
    Thread throwingInt(NewJob(other, nullptr, Job::Ending::WithOtherException), "throwingInt");
    ASSERT_EQ(failing.Start(), NoError);
    ASSERT_EQ(throwingInt.Start(), NoError);
    ASSERT_TRUE(failing.Join(Patience));
    ASSERT_TRUE(throwingInt.Join(Patience));
    EXPECT_EQ(failing.GetState(), ThreadState::Finished);
    EXPECT_EQ(throwingInt.GetState(), ThreadState::Finished);
    EXPECT_EQ(record->destroyed, 1);
    EXPECT_EQ(other->destroyed, 1);
}

TEST_F(ThreadTest, OSThreadCarriesTheNameTruncatedToItsLimit) {
    Thread shortName(NewJob(record), "watchThread");
    auto longRecord = std::make_shared<Record>();
    Thread longName(NewJob(longRecord), "exportPublishSet12");
    auto wideRecord = std::make_shared<Record>();
    Thread wideName(NewJob(wideRecord), "abcdefghijklmn\xE2\x82\xAC"); // 14 ASCII bytes and a 3-byte euro sign

    for (Thread* t : {&shortName, &longName, &wideName})
        ASSERT_EQ(t->Start(), NoError);
    for (Thread* t : {&shortName, &longName, &wideName})
        ASSERT_TRUE(t->Join(Patience));

    EXPECT_EQ(record->osName, "watchThread");
    EXPECT_EQ(longRecord->osName, "exportPublishSe");
    EXPECT_EQ(longName.GetName(), GS::UniString("exportPublishSet12")) << "the object keeps the whole name";
    EXPECT_EQ(wideRecord->osName, "abcdefghijklmn") << "a character is never split";
}

// Waits for itself from inside its own job; must come back at once instead of hanging.
class SelfJoiningJob : public GS::Runnable {
public:
    SelfJoiningJob(std::atomic<Thread*>& self, std::atomic<int>& answers) : self(self), answers(answers) {}
    void Run() override {
        if (!self.load()->Join()) ++answers;
        if (!Thread::WaitForAllThreads()) ++answers;
    }

private:
    std::atomic<Thread*>& self;
    std::atomic<int>& answers;
};

TEST_F(ThreadTest, WaitingForItselfIsRefusedInsteadOfHanging) {
    std::atomic<Thread*> self{nullptr};
    std::atomic<int> refusals{0};
    Thread thread(GS::RunnableTask(new SelfJoiningJob(self, refusals)), "selfJoin");
    self = &thread;
    ASSERT_EQ(thread.Start(), NoError);
    ASSERT_TRUE(thread.Join(Patience));
    EXPECT_EQ(refusals, 2);
}

// Polls other threads' states without pause until all are finished, as a download watcher does.
class Watcher : public GS::Runnable {
public:
    Watcher(std::vector<std::unique_ptr<Thread>> watched, std::atomic<bool>& sawAllFinished)
        : watched(std::move(watched)), sawAllFinished(sawAllFinished) {}
    void Run() override {
        bool all = false;
        while (!all) {
            all = true;
            for (const auto& t : watched)
                all = all && t->GetState() == ThreadState::Finished;
        }
        sawAllFinished = true;
    }

private:
    std::vector<std::unique_ptr<Thread>> watched; // destroyed with the watcher, on its thread
    std::atomic<bool>& sawAllFinished;
};

TEST_F(ThreadTest, StateIsReadableFromAnotherThread) {
    std::vector<std::unique_ptr<Thread>> downloads;
    for (int i = 0; i < 4; ++i) {
        downloads.push_back(std::make_unique<Thread>(NewJob(record, &gate), GS::UniString::Printf("resource%d", i)));
        ASSERT_EQ(downloads.back()->Start(), NoError);
    }
    std::atomic<bool> sawAllFinished{false};
    Thread watcher(GS::RunnableTask(new Watcher(std::move(downloads), sawAllFinished)), "watchThread");
    ASSERT_EQ(watcher.Start(), NoError);
    EXPECT_FALSE(watcher.Join(20));
    gate.Open();
    ASSERT_TRUE(watcher.Join(Patience));
    EXPECT_TRUE(sawAllFinished);
    EXPECT_EQ(record->runs, 4);
    EXPECT_EQ(record->destroyed, 4);
}

TEST_F(ThreadTest, ManyThreadsAtOnceAllRunAndEnd) {
    constexpr int Count = 64;
    for (int i = 0; i < Count; ++i) {
        Thread thread(NewJob(record, &gate), GS::UniString::Printf("exportPublishSet%d", i));
        ASSERT_EQ(thread.Start(), NoError);
    }
    EXPECT_EQ(Thread::GetRunningCount(), static_cast<USize>(Count)) << "all are held at the gate";
    EXPECT_FALSE(Thread::WaitForAllThreads(10));
    gate.Open();
    ASSERT_TRUE(Thread::WaitForAllThreads(Patience));
    EXPECT_EQ(record->runs, Count);
    EXPECT_EQ(record->destroyed, Count);
    EXPECT_EQ(Thread::GetRunningCount(), 0u);
}

} // namespace
