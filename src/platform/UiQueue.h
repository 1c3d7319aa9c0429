#pragma once
// The hand-off to the user-interface thread. Worker and dispatcher threads post calls here and
// wait for them; the user-interface thread runs them whenever it processes its messages (the
// Qt shell wires the wake-up to its event loop, headless runs and tests call processPending).
// A user-interface thread that has nothing to do but wait sleeps in waitForCall until a call is
// posted or another thread reports a change with notify.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tolvak {

class UiQueue {
public:
    static UiQueue& instance();  // the process's queue

    UiQueue() = default;
    UiQueue(const UiQueue&) = delete;
    UiQueue& operator=(const UiQueue&) = delete;

    // This thread is the user-interface thread.
    void bindToCurrentThread();
    // No thread is the user-interface thread any more (calls then run on the posting thread).
    void unbind();
    bool isUiThread() const;
    // True while some thread is bound as the user-interface thread.
    bool isBound() const;

    // From any thread: run fn on the UI thread and wait until it returned (at once if called on
    // the UI thread, or when no UI thread is bound). Calls run in posting order. An exception
    // thrown by fn is rethrown to the caller.
    void invokeAndWait(std::function<void()> fn);
    // UI thread: run every waiting call in posting order; returns how many ran. Calls from any
    // other thread run nothing and return 0. Re-entrant: a call may itself process messages.
    std::size_t processPending();
    // Number of calls waiting to be run.
    std::size_t pending() const;
    // Sleeps until a call waits to be run on this thread (at once if one already does) or
    // notify was called since the last return. Meant for the user-interface thread, or for the
    // one thread that waits while none is bound. Callers test their condition after every
    // return: a return says only that something may have changed.
    void waitForCall();
    // From any thread: wakes waitForCall (and, through the wake-up, the Qt shell's event loop),
    // for a condition that changed without a posted call, such as a worker going idle.
    void notify();
    // Runs the waiting calls until done() holds, sleeping in waitForCall while nothing is
    // pending; done is tested after every wake-up.
    void processUntil(const std::function<bool()>& done);
    // Set by the Qt shell: called (from any thread) when a call starts waiting or notify is
    // called.
    void setWakeUp(std::function<void()> wake);

private:
    struct Call {
        std::function<void()> fn;
        bool done = false;
        std::exception_ptr error;
    };

    mutable std::mutex m_;
    std::condition_variable doneCv_;
    std::condition_variable workCv_;  // a call was posted or notify was called
    bool notified_ = false;
    std::deque<std::shared_ptr<Call>> calls_;
    std::thread::id uiThread_{};
    bool bound_ = false;
    std::function<void()> wake_;
};

}  // namespace tolvak
