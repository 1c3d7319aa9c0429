#pragma once
// The event dispatcher of the PCM outputs: one thread, shared by all outputs, that runs their
// events (progress, end, errors) in posting order on the user-interface thread; the events'
// handler types; and the auto-reset event the dispatcher and the workers sleep on.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tolvak {

class TAuOutput;
class TAuThread;

using TOutputDoneEvent = std::function<void(TAuOutput* Sender)>;
using TOutputProgressEvent = std::function<void(TAuOutput* Sender)>;
using TThreadExceptionEvent = std::function<void(TAuOutput* Sender)>;
using TGenericEvent = std::function<void(TAuOutput* Sender)>;

/// An auto-reset event: Signal wakes one waiter (or the next one to wait).
class TAuEvent {
public:
    void Signal();
    void Reset();
    /// Waits until signalled (or the timeout in ms passed, when not negative); returns whether
    /// it was signalled.
    bool Wait(int TimeoutMs = -1);

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

enum class TEventType { etOnProgress, etOnDone, etGeneric, etNonGUI };

/// One queued event.
struct TEventRecord {
    TEventType _type = TEventType::etGeneric;
    TAuOutput* Sender = nullptr;
    TGenericEvent Handler;  // the handler to call (for etOnDone the sender's OnDone is read late)
    TAuThread* Thread = nullptr;
    bool Notify = true;     // etOnDone: the worker's DoNotify when the event was posted
};

/// The dispatcher thread shared by all outputs: it runs their events, in posting order, on the
/// user-interface thread and waits for each. One instance exists while any output exists.
class TEventHandler {
public:
    /// Takes a reference: the first creates and starts the dispatcher.
    static std::shared_ptr<TEventHandler> Acquire();
    TEventHandler();
    ~TEventHandler();
    TEventHandler(const TEventHandler&) = delete;
    TEventHandler& operator=(const TEventHandler&) = delete;

    void Post(std::unique_ptr<TEventRecord> Rec);
    /// Removes every queued event of Sender.
    void Remove(TAuOutput* Sender);
    void SetBlockedSender(TAuOutput* Sender);
    /// Waits (running user-interface calls when on that thread) until no event of Sender is
    /// being executed.
    void WaitNotExecuting(TAuOutput* Sender);

private:
    void Execute();

    std::deque<std::unique_ptr<TEventRecord>> Events;
    std::mutex CS;
    TAuEvent _Evt;
    std::atomic<TAuOutput*> CurrentSender{nullptr};
    std::condition_variable EventExecuted;  // CurrentSender was cleared (under CS)
    std::atomic<int> UiWatchers{0};         // user-interface threads in WaitNotExecuting
    TAuOutput* BlockedSender = nullptr;
    std::atomic<bool> Terminated{false};
    std::atomic<bool> Finished{false};
    std::thread thread_;
};

}  // namespace tolvak
