#include "audio/AuDispatcher.h"

#include "audio/AuOutputs.h"
#include "platform/UiQueue.h"

#include <algorithm>
#include <chrono>

namespace tolvak {

namespace {

void ShortPause() { std::this_thread::sleep_for(std::chrono::microseconds(200)); }

}  // namespace

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
    UiQueue& ui = UiQueue::instance();
    while (!Finished) {
        if (ui.isUiThread()) ui.processPending();
        _Evt.Signal();
        ShortPause();
    }
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
    const bool onUi = ui.isUiThread();
    while (CurrentSender == Sender) {
        if (onUi) ui.processPending();
        ShortPause();
    }
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
                        while (!rec->Thread->Sleeping && !rec->Thread->Finished && !rec->Thread->Stopped)
                            std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
        }
        _Evt.Wait(100);
    }
    Finished = true;
}

}  // namespace tolvak
