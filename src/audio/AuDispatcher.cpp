#include "audio/AuDispatcher.h"

#include "audio/AuOutputs.h"
#include "platform/UiQueue.h"

#include <algorithm>
#include <chrono>

namespace tolvak {

// TAuEvent

void TAuEvent::Signal() {
    {
        std::lock_guard lock(m_);
        signalled_ = true;
    }
    cv_.notify_one();
}

void TAuEvent::Reset() {
    std::lock_guard lock(m_);
    signalled_ = false;
}

bool TAuEvent::Wait(int TimeoutMs) {
    std::unique_lock lock(m_);
    if (TimeoutMs < 0) {
        cv_.wait(lock, [&] { return signalled_; });
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(TimeoutMs), [&] { return signalled_; })) {
        return false;
    }
    signalled_ = false;
    return true;
}

// TEventHandler

std::shared_ptr<TEventHandler> TEventHandler::Acquire() {
    static std::mutex m;
    static std::weak_ptr<TEventHandler> current;
    std::lock_guard lock(m);
    auto sp = current.lock();
    if (!sp) {
        sp = std::make_shared<TEventHandler>();
        current = sp;
    }
    return sp;
}

TEventHandler::TEventHandler() { thread_ = std::thread([this] { Execute(); }); }

TEventHandler::~TEventHandler() {
    Terminated = true;
    _Evt.Signal();
    // The dispatcher may be waiting for a handler to run on the user-interface thread.
    UiQueue& ui = UiQueue::instance();
    if (ui.isUiThread()) ui.processUntil([this] { return Finished.load(); });
    thread_.join();
}

void TEventHandler::Post(std::unique_ptr<TEventRecord> Rec) {
    {
        std::lock_guard lock(CS);
        if (Rec->Sender == BlockedSender) return;
        Events.push_back(std::move(Rec));
    }
    _Evt.Signal();
}

void TEventHandler::Remove(TAuOutput* Sender) {
    std::lock_guard lock(CS);
    std::erase_if(Events, [&](const std::unique_ptr<TEventRecord>& r) { return r->Sender == Sender; });
}

void TEventHandler::SetBlockedSender(TAuOutput* Sender) {
    std::lock_guard lock(CS);
    BlockedSender = Sender;
}

void TEventHandler::WaitNotExecuting(TAuOutput* Sender) {
    UiQueue& ui = UiQueue::instance();
    if (ui.isUiThread()) {
        // The event being executed may be waiting for this very thread to run its handler.
        ++UiWatchers;
        ui.processUntil([&] { return CurrentSender != Sender; });
        --UiWatchers;
        return;
    }
    std::unique_lock lock(CS);
    EventExecuted.wait(lock, [&] { return CurrentSender != Sender; });
}

void TEventHandler::Execute() {
    UiQueue& ui = UiQueue::instance();
    while (!Terminated) {
        for (;;) {
            std::unique_ptr<TEventRecord> rec;
            {
                std::lock_guard lock(CS);
                if (Events.empty()) break;
                rec = std::move(Events.front());
                Events.pop_front();
                CurrentSender = rec->Sender;
            }
            TAuOutput* s = rec->Sender;
            try {
                switch (rec->_type) {
                    case TEventType::etOnDone: {
                        // The worker is the one that posted: it goes to sleep, starts the next run
                        // or ends; it never waits for this thread.
                        TAuThread& t = *rec->Thread;
                        t.WaitFor([&t] { return t.Sleeping || t.Finished || t.Stopped; }, false);
                        {
                            std::lock_guard lock(CS);
                            std::erase_if(Events, [&](const std::unique_ptr<TEventRecord>& r) { return r->Sender == s; });
                        }
                        if (rec->Notify && rec->Thread->DoNotify)
                            ui.invokeAndWait([s] {
                                if (!s->FDying && s->OnDone) s->OnDone(s);
                            });
                        break;
                    }
                    case TEventType::etOnProgress:
                        ui.invokeAndWait([s] {
                            if (!s->FDying && s->OnProgress) s->OnProgress(s);
                        });
                        break;
                    case TEventType::etGeneric:
                        ui.invokeAndWait([s, &rec] {
                            if (!s->FDying && rec->Handler) rec->Handler(s);
                        });
                        break;
                    case TEventType::etNonGUI:
                        if (rec->Handler) rec->Handler(s);
                        break;
                }
            } catch (...) {
                // A failing handler must not end the dispatcher.
            }
            {
                std::lock_guard lock(CS);
                CurrentSender = nullptr;
            }
            EventExecuted.notify_all();
            if (UiWatchers > 0) ui.notify();
        }
        _Evt.Wait();
    }
    Finished = true;
    ui.notify();
}

}  // namespace tolvak
