#include "audio/AuOutputs.h"

#include "platform/UiQueue.h"

#include <chrono>
#include <cmath>

namespace tolvak {

namespace {

void ShortPause() { std::this_thread::sleep_for(std::chrono::microseconds(200)); }

}  // namespace

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
    if (Busy) throw EAuException("Component is Busy");
    if (!FInput) throw EAuException("Input is not assigned");
    // Cleared only when a run really starts, so a refused Run cannot hide the failure of the
    // run in progress.
    SetExceptionMessage("");
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
    Thread->Stop = true;
    while (Thread->Paused) {
        Thread->SoftSleepEvent.Signal();
        std::this_thread::yield();
    }
    if (Async) return;
    FDispatcher->SetBlockedSender(this);
    FDispatcher->Remove(this);
    UiQueue& ui = UiQueue::instance();
    const bool onUi = ui.isUiThread();
    // Until no run is in progress any more and the worker has posted its end (and so had it
    // dropped) and is going idle.
    while (Busy || !(Thread->Sleeping || Thread->Stopped || Thread->Finished)) {
        if (onUi) ui.processPending();
        ShortPause();
    }
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
    while (Thread->Paused) {
        Thread->SoftSleepEvent.Signal();
        std::this_thread::yield();
    }
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
    Stop = true;
    if (!thread_.joinable()) return;
    while (!Finished) {
        SoftSleepEvent.Signal();
        std::this_thread::yield();
    }
    thread_.join();
}

void TAuThread::SoftSleep() {
    SoftSleepEvent.Reset();
    Sleeping = true;
    while (!Parent_.Busy && !Terminated) SoftSleepEvent.Wait(100);
    Sleeping = false;
}

void TAuThread::DoPause() {
    SoftSleepEvent.Reset();
    Paused = true;
    PauseEvent.Signal();
    SoftSleepEvent.Wait();
    Paused = false;
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
                if (delay > 5) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
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
}

// File outputs

void TAuFileOut::SetFileMode(TFileOutputMode /*v*/) { FFileMode = TFileOutputMode::foRewrite; }

void TAuFileOut::CreateOutputFile() {
    if (FStreamAssigned) return;
    if (FFileName.empty()) throw EAuException("File name is not assigned.");
    FOwnStream.reset();
    FStream = nullptr;
    FOwnStream = std::make_unique<TAuFileStream>(FFileName, TAuFileStream::kOutputMode | FShareMode);
    FStream = FOwnStream.get();
}

void TAuFileOut::OpenOutputFileForAppend() {
    if (FStreamAssigned) return;
    if (FFileName.empty()) throw EAuException("File name is not assigned.");
    FOwnStream.reset();
    FStream = nullptr;
    FOwnStream = std::make_unique<TAuFileStream>(FFileName, static_cast<uint32_t>(FShareMode) | TAuFileStream::fmOpenReadWrite);
    FStream = FOwnStream.get();
}

void TAuFileOut::CloseOutputFile() {
    if (FStreamAssigned) return;
    FOwnStream.reset();
    FStream = nullptr;
}

}  // namespace tolvak
