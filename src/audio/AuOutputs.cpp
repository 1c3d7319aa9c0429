#include "audio/AuOutputs.h"

#include "platform/UiQueue.h"

#include <cerrno>
#include <chrono>
#include <cmath>

namespace tolvak {

// TAuOutput

TAuOutput::TAuOutput() : FDispatcher(TEventHandler::Acquire()) { Thread = std::make_unique<TAuThread>(*this); }

TAuOutput::~TAuOutput() { Shutdown(); }

void TAuOutput::Shutdown() {
    if (FShutDown) return;
    FShutDown = true;
    FDying = true;
    try {
        Stop(false);
    } catch (...) {
    }
    Thread->Terminate();
    FDispatcher->Remove(this);
    FDispatcher->WaitNotExecuting(this);
    Thread.reset();
    FDispatcher.reset();  // the last output ends the dispatcher
}

void TAuOutput::SetExceptionMessage(const std::string& m) {
    std::lock_guard lock(MsgCS);
    FExceptionMessage = m;
}

std::string TAuOutput::ExceptionMessage() const {
    std::lock_guard lock(MsgCS);
    return FExceptionMessage;
}

void TAuOutput::Run() {
    std::lock_guard lock(RunCS);
    SetExceptionMessage("");
    if (Busy) throw EAuException("Component is Busy");
    if (!FInput) throw EAuException("Input is not assigned");
    Thread->Stop = false;
    Thread->Stopped = false;
    Busy = true;
    // The worker looks at Busy before every wait, so one signal cannot be lost; Run does not
    // wait for the worker to wake (a short run may already be over by then).
    Thread->SoftSleepEvent.Signal();
}

void TAuOutput::Stop(bool Async) {
    if (Thread->IsCurrentThread()) throw EAuException("You are trying to stop this thread from the thread itself!");
    FStopped = true;
    Thread->DoNotify = Async;
    Thread->RequestStop();
    TAuThread& t = *Thread;
    if (t.Paused) {
        t.SoftSleepEvent.Signal();
        t.WaitFor([&t] { return !t.Paused; }, false);
    }
    if (Async) return;
    FDispatcher->SetBlockedSender(this);
    FDispatcher->Remove(this);
    // Until no run is in progress any more and the worker has posted its end (and so had it
    // dropped) and is going idle; the user-interface thread runs its posted calls meanwhile,
    // so that a dispatcher waiting for it cannot hold up the stop.
    t.WaitFor([this, &t] { return !Busy && (t.Sleeping || t.Stopped || t.Finished); }, true);
    FDispatcher->SetBlockedSender(nullptr);
    Thread->DoNotify = true;
}

void TAuOutput::Pause() {
    if (!FInput) throw EAuException("Input is not assigned.");
    if (!Busy) return;
    Thread->SetPause = true;
    Thread->PauseEvent.Wait(5000);
    FInput->_Pause();
}

void TAuOutput::Resume() {
    if (!Busy || !Thread->Paused) return;
    if (FInput) FInput->_Resume();
    TAuThread& t = *Thread;
    t.SoftSleepEvent.Signal();
    t.WaitFor([&t] { return !t.Paused; }, false);
}

void TAuOutput::SetInput(TAuInput* v) {
    if (Busy) {
        Stop(false);
        FInput = v;
        Run();
    } else {
        FInput = v;
    }
}

int TAuOutput::Progress() const {
    TAuInput* in = FInput;
    if (!in) return 0;
    const int64_t size = in->Size();
    if (size < 0) return -1;
    if (size == 0) return 0;
    return static_cast<int>(std::nearbyint(static_cast<double>(in->Position()) / static_cast<double>(size) * 100.0));
}

TOutputStatus TAuOutput::Status() const {
    if (!Busy) return TOutputStatus::tosIdle;
    if (Thread && Thread->Paused) return TOutputStatus::tosPaused;
    return TOutputStatus::tosPlaying;
}

int TAuOutput::Delay() const { return FDelay; }

void TAuOutput::SetDelay(int v) {
    if (v <= 100) FDelay = v;
}

void TAuOutput::FinishRun() {
    try {
        if (Busy) {
            CanOutput = false;
            FinishOutput();
            FStopped = false;
            Busy = false;
        }
    } catch (const std::exception& e) {
        // The output becomes idle; a failing end step (the file could not be completed) is
        // still reported, unless an earlier error already ended the run.
        if (ExceptionMessage().empty()) SetExceptionMessage(e.what());
        FStopped = false;
        Busy = false;
    } catch (...) {
        if (ExceptionMessage().empty()) SetExceptionMessage("Unknown error");
        FStopped = false;
        Busy = false;
    }
}

// TAuThread

TAuThread::TAuThread(TAuOutput& Parent) : Parent_(Parent) {
    thread_ = std::thread([this] { Execute(); });
}

TAuThread::~TAuThread() { Terminate(); }

void TAuThread::Terminate() {
    Terminated = true;
    RequestStop();
    if (!thread_.joinable()) return;
    // Every wait of the worker looks at Terminated (or Stop) after resetting its event, so one
    // signal cannot be lost.
    SoftSleepEvent.Signal();
    thread_.join();
}

void TAuThread::Announce() {
    { std::lock_guard lock(StateCS); }  // a waiter between its test and its sleep sees the change
    StateChanged.notify_all();
    UiQueue::instance().notify();
}

void TAuThread::RequestStop() {
    Stop = true;
    Announce();
}

void TAuThread::Throttle(int ms) {
    std::unique_lock lock(StateCS);
    StateChanged.wait_for(lock, std::chrono::milliseconds(ms), [this] { return Stop || Terminated; });
}

void TAuThread::WaitFor(const std::function<bool()>& cond, bool RunUiCalls) {
    UiQueue& ui = UiQueue::instance();
    if (RunUiCalls && ui.isUiThread()) {
        ui.processUntil(cond);
        return;
    }
    std::unique_lock lock(StateCS);
    StateChanged.wait(lock, cond);
}

void TAuThread::SoftSleep() {
    SoftSleepEvent.Reset();
    Sleeping = true;
    Announce();
    // Run sets Busy before it signals, so a Run between the test and the wait is not missed.
    while (!Parent_.Busy && !Terminated) SoftSleepEvent.Wait();
    Sleeping = false;
}

void TAuThread::DoPause() {
    SoftSleepEvent.Reset();
    Paused = true;
    Announce();
    PauseEvent.Signal();
    if (!Stop && !Terminated) SoftSleepEvent.Wait();
    Paused = false;
    Announce();
}

void TAuThread::Execute() {
    TAuOutput& P = Parent_;
    SoftSleep();
    while (!Terminated) {
        try {
            P.BeginOutput();
            P.CanOutput = true;
            SetPause = false;
            Paused = false;
            PauseEvent.Reset();
            bool more = true;
            while (more && !Stop) {
                const int delay = P.FDelay;
                if (delay > 5) Throttle(delay);
                const int pr = P.Progress();
                if (pr != P.CurProgr) {
                    P.CurProgr = pr;
                    if (P.OnProgress) {
                        auto rec = std::make_unique<TEventRecord>();
                        rec->_type = TEventType::etOnProgress;
                        rec->Sender = &P;
                        P.FDispatcher->Post(std::move(rec));
                    }
                }
                if (SetPause) {
                    SetPause = false;
                    DoPause();
                }
                more = P.OutputBlock(Stop);
            }
            Stop = false;
        } catch (const std::exception& e) {
            P.SetExceptionMessage(e.what());
        } catch (...) {
            P.SetExceptionMessage("Unknown error");
        }
        if (!P.ExceptionMessage().empty() && P.OnThreadException) {
            auto rec = std::make_unique<TEventRecord>();
            rec->_type = TEventType::etGeneric;
            rec->Sender = &P;
            rec->Handler = P.OnThreadException;
            P.FDispatcher->Post(std::move(rec));
        }
        P.FinishRun();
        if (P.OnSyncDone) {
            try {
                P.OnSyncDone(&P);
            } catch (...) {
            }
        }
        {
            auto rec = std::make_unique<TEventRecord>();
            rec->_type = TEventType::etOnDone;
            rec->Sender = &P;
            rec->Thread = this;
            rec->Notify = DoNotify;
            P.FDispatcher->Post(std::move(rec));
        }
        P.CurProgr = 0;
        if (P.Busy) continue;  // a new Run arrived meanwhile
        Stopped = true;
        if (Terminated) break;
        SoftSleep();
    }
    Sleeping = false;
    Finished = true;
    Announce();
}

// File outputs

void TAuFileOut::SetFileMode(TFileOutputMode /*v*/) { FFileMode = TFileOutputMode::foRewrite; }

void TAuFileOut::CreateOutputFile() {
    if (FStreamAssigned) return;
    if (FFileName.empty()) throw EAuException("File name is not assigned.");
    FOwnStream.reset();
    FStream = nullptr;
    FCloseError = 0;
    FOwnStream = std::make_unique<TAuFileStream>(FFileName, TAuFileStream::kOutputMode | FShareMode);
    FStream = FOwnStream.get();
}

void TAuFileOut::OpenOutputFileForAppend() {
    if (FStreamAssigned) return;
    if (FFileName.empty()) throw EAuException("File name is not assigned.");
    FOwnStream.reset();
    FStream = nullptr;
    FCloseError = 0;
    FOwnStream = std::make_unique<TAuFileStream>(FFileName, static_cast<uint32_t>(FShareMode) | TAuFileStream::fmOpenReadWrite);
    FStream = FOwnStream.get();
}

bool TAuFileOut::CloseOutputFile() {
    if (FStreamAssigned) return true;
    const bool ok = !FOwnStream || FOwnStream->FlushBuffer();
    if (!ok) FCloseError = FOwnStream->WriteError();
    FOwnStream.reset();
    FStream = nullptr;
    return ok;
}

void TAuFileOut::RaiseWriteError(int err) const {
    if (err == 0 && FStream) err = FStream->WriteError();
    if (err == 0) err = FCloseError;
    // A stream assigned by the caller has no name of its own.
    ZglosBladPlikuAu(OperacjaNaPliku::Zapis, FStreamAssigned ? std::string_view("(strumień)") : FFileName,
                     err != 0 ? err : EIO);
}

}  // namespace tolvak
