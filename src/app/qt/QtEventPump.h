#pragma once
// The user-interface thread's event loop as the core needs it: the queue of calls posted to the
// user-interface thread runs from the Qt event loop, "process messages" lets the loop handle what
// is pending, and a wait runs the loop until a condition holds.

#include <functional>

namespace tolvak {

class QtEventPump {
public:
    /// Binds the calling thread (the one of the QCoreApplication) as the user-interface thread
    /// and has every call posted to it run from its event loop. Only one pump at a time. Destroy
    /// it after every thread that posts calls has stopped.
    QtEventPump();
    ~QtEventPump();
    QtEventPump(const QtEventPump&) = delete;
    QtEventPump& operator=(const QtEventPump&) = delete;

    /// Handles the pending events (timers, sockets, posted calls) and the waiting calls of the
    /// queue, then returns.
    static void processMessages();
    /// Runs the event loop, sleeping while nothing happens, until `done` holds. `done` is
    /// evaluated after every batch of events, so it must change through an event or a call of
    /// the queue (which is how the workers report their end).
    static void waitUntil(const std::function<bool()>& done);
};

}  // namespace tolvak
