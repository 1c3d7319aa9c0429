#include "platform/UiQueue.h"

#include <utility>

namespace tolvak {

UiQueue& UiQueue::instance() {
    static UiQueue queue;
    return queue;
}

void UiQueue::bindToCurrentThread() {
    std::lock_guard lock(m_);
    uiThread_ = std::this_thread::get_id();
    bound_ = true;
}

void UiQueue::unbind() {
    std::deque<std::shared_ptr<Call>> orphans;
    {
        std::lock_guard lock(m_);
        bound_ = false;
        uiThread_ = {};
        orphans.swap(calls_);
        notified_ = true;
    }
    workCv_.notify_all();
    // Nobody will run the waiting calls on a user-interface thread any more: run them here so
    // that their posters are released.
    for (auto& c : orphans) {
        std::exception_ptr error;
        try {
            c->fn();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(m_);
        c->error = std::move(error);
        c->done = true;
    }
    orphans.clear();
    doneCv_.notify_all();
}

bool UiQueue::isUiThread() const {
    std::lock_guard lock(m_);
    return bound_ && uiThread_ == std::this_thread::get_id();
}

bool UiQueue::isBound() const {
    std::lock_guard lock(m_);
    return bound_;
}

void UiQueue::invokeAndWait(std::function<void()> fn) {
    if (!fn) return;
    auto call = std::make_shared<Call>();
    std::function<void()> wake;
    bool bound = false;
    {
        std::lock_guard lock(m_);
        bound = bound_;
        if (!bound_ || uiThread_ == std::this_thread::get_id()) {
            call.reset();
        } else {
            call->fn = std::move(fn);
            calls_.push_back(call);
            wake = wake_;
        }
    }
    if (!call) {
        // With no user-interface thread the call runs here; whoever waits for its effect is
        // told afterwards.
        if (bound) {
            fn();
        } else {
            struct Notify {
                UiQueue& q;
                ~Notify() { q.notify(); }
            } notify{*this};
            fn();
        }
        return;
    }
    workCv_.notify_all();
    if (wake) wake();
    std::exception_ptr error;
    {
        std::unique_lock lock(m_);
        doneCv_.wait(lock, [&] { return call->done; });
        error = std::exchange(call->error, nullptr);  // only this thread holds it from here on
    }
    if (error) std::rethrow_exception(error);
}

std::size_t UiQueue::processPending() {
    std::size_t ran = 0;
    for (;;) {
        std::shared_ptr<Call> call;
        {
            std::lock_guard lock(m_);
            if (!bound_ || uiThread_ != std::this_thread::get_id() || calls_.empty()) break;
            call = calls_.front();
            calls_.pop_front();
        }
        std::exception_ptr error;
        try {
            call->fn();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(m_);
            call->error = std::move(error);
            call->done = true;
        }
        call.reset();
        doneCv_.notify_all();
        ++ran;
    }
    return ran;
}

std::size_t UiQueue::pending() const {
    std::lock_guard lock(m_);
    return calls_.size();
}

void UiQueue::waitForCall() {
    std::unique_lock lock(m_);
    const bool ui = bound_ && uiThread_ == std::this_thread::get_id();
    workCv_.wait(lock, [&] { return notified_ || (ui && !calls_.empty()); });
    notified_ = false;
}

void UiQueue::notify() {
    std::function<void()> wake;
    {
        std::lock_guard lock(m_);
        notified_ = true;
        wake = wake_;
    }
    workCv_.notify_all();
    if (wake) wake();
}

void UiQueue::processUntil(const std::function<bool()>& done) {
    for (;;) {
        processPending();
        if (done()) return;
        waitForCall();
    }
}

void UiQueue::setWakeUp(std::function<void()> wake) {
    std::lock_guard lock(m_);
    wake_ = std::move(wake);
}

}  // namespace tolvak
