#include "audio/AuCore.h"

#include "platform/UiQueue.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tolvak {

namespace {

[[noreturn]] void RaisePlatformError(int code) {
    throw EAuException(std::system_category().message(code));
}

// Runs fn, turning whatever it raises into the message of an EAuException.
template <class F>
void AsAuException(F&& fn) {
    try {
        fn();
    } catch (const EAuException&) {
        throw;
    } catch (const std::exception& e) {
        throw EAuException(e.what());
    }
}

void ShortPause() { std::this_thread::sleep_for(std::chrono::microseconds(200)); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// TAuFileStream

TAuFileStream::TAuFileStream(const std::string& FileName, uint32_t Mode) : TAuFileStream(FileName, 0, Mode) {}

TAuFileStream::TAuFileStream(const std::string& FileName, uint32_t /*Rights*/, uint32_t Mode) {
    int flags = O_CLOEXEC;
    if ((Mode & fmCreate) == fmCreate) {
        flags |= O_RDWR | O_CREAT | O_TRUNC;
    } else {
        switch (Mode & 3) {
            case fmOpenRead: flags |= O_RDONLY; break;
            case fmOpenWrite: flags |= O_WRONLY; break;
            default: flags |= O_RDWR; break;
        }
    }
    // There are no share modes on this platform; bits 4 to 7 have nothing to enforce.
    do {
        fd_ = ::open(FileName.c_str(), flags, 0644);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) RaisePlatformError(errno);
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        RaisePlatformError(EISDIR);
    }
}

TAuFileStream::~TAuFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

int64_t TAuFileStream::Read(void* Buffer, int64_t Count) {
    auto* p = static_cast<uint8_t*>(Buffer);
    int64_t done = 0;
    while (done < Count) {
        ssize_t n = ::read(fd_, p + done, static_cast<size_t>(Count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            RaisePlatformError(errno);
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TAuFileStream::Write(const void* Buffer, int64_t Count) {
    const auto* p = static_cast<const uint8_t*>(Buffer);
    int64_t done = 0;
    while (done < Count) {
        ssize_t n = ::write(fd_, p + done, static_cast<size_t>(Count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            break;  // a full disk or a failing device: the caller sees the short count
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t TAuFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int whence = Origin == TSeekOrigin::soBeginning ? SEEK_SET : (Origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END);
    off_t r = ::lseek(fd_, static_cast<off_t>(Offset), whence);
    if (r < 0) RaisePlatformError(errno);
    return r;
}

int64_t TAuFileStream::Size() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) RaisePlatformError(errno);
    return st.st_size;
}

// ---------------------------------------------------------------------------------------------
// TAuMemoryStream

void TAuMemoryStream::LoadFromFile(const std::string& FileName) {
    TAuFileStream f(FileName, TAuFileStream::kInputMode);
    std::vector<uint8_t> d(static_cast<size_t>(f.Size()));
    int64_t n = f.Read(d.data(), static_cast<int64_t>(d.size()));
    d.resize(static_cast<size_t>(n));
    data_ = std::move(d);
    pos_ = 0;
}

int64_t TAuMemoryStream::Read(void* Buffer, int64_t Count) {
    int64_t n = std::clamp<int64_t>(Size() - pos_, 0, std::max<int64_t>(Count, 0));
    if (n > 0) std::memcpy(Buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TAuMemoryStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    if (pos_ + Count > Size()) data_.resize(static_cast<size_t>(pos_ + Count));
    std::memcpy(data_.data() + pos_, Buffer, static_cast<size_t>(Count));
    pos_ += Count;
    return Count;
}

int64_t TAuMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t base = Origin == TSeekOrigin::soBeginning ? 0 : (Origin == TSeekOrigin::soCurrent ? pos_ : Size());
    int64_t p = base + Offset;
    if (p < 0) throw EAuException("Invalid stream position");
    pos_ = p;
    return pos_;
}

// ---------------------------------------------------------------------------------------------
// TAuInput

void TAuInput::Init() {
    std::exception_ptr failure;
    {
        std::lock_guard lock(DataCS);
        _EndOfStream = false;
        try {
            StartReading();
        } catch (...) {
            _EndOfStream = true;
            failure = std::current_exception();
        }
    }
    if (failure) AsAuException([&] { std::rethrow_exception(failure); });
}

void TAuInput::Flush() {
    std::exception_ptr failure;
    {
        std::lock_guard lock(DataCS);
        try {
            StopReading();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (failure) AsAuException([&] { std::rethrow_exception(failure); });
}

void TAuInput::GetData(const uint8_t*& Buffer, int64_t& Bytes) {
    std::lock_guard lock(DataCS);
    ReadBlock(Buffer, Bytes);
    if (Bytes < 0) Bytes = 0;
}

int64_t TAuInput::CopyData(void* Buffer, int64_t BufferSize) {
    const uint8_t* p = nullptr;
    int64_t n = BufferSize;
    GetData(p, n);
    if (n > 0) std::memcpy(Buffer, p, static_cast<size_t>(n));
    return n;
}

int64_t TAuInput::FillBuffer(void* Buffer, int64_t BufferSize, bool& EndOF) {
    auto* out = static_cast<uint8_t*>(Buffer);
    int64_t got = 0;
    EndOF = false;
    while (got < BufferSize) {
        const uint8_t* p = nullptr;
        int64_t n = BufferSize - got;
        GetData(p, n);
        if (n <= 0) {
            EndOF = true;
            break;
        }
        std::memcpy(out + got, p, static_cast<size_t>(n));
        got += n;
    }
    return got;
}

void TAuInput::Reset() {
    try {
        Flush();
    } catch (...) {
    }
    Busy = false;
}

// ---------------------------------------------------------------------------------------------
// TAuStreamedInput

void TAuStreamedInput::SetStream(TAuStream* v) {
    FStream = v;
    FStreamAssigned = v != nullptr;
}

bool TAuStreamedInput::Seek(int64_t SampleNum) {
    std::lock_guard lock(DataCS);
    if (!FSeekable) return false;
    int64_t total = TotalSamples();
    if (total > 0 && SampleNum > total) return false;
    if (!Busy) {
        FStartSample = SampleNum;
        FEndSample = -1;
        FPosition = SampleNum * FSampleSize;
        return true;
    }
    int64_t s = FStartSample + SampleNum;
    bool ok = SeekSource(s);
    FPosition = SampleNum * FSampleSize;
    return ok;
}

void TAuStreamedInput::GetData(const uint8_t*& Buffer, int64_t& Bytes) {
    std::lock_guard lock(DataCS);
    if (_EndOfStream) {
        Buffer = nullptr;
        Bytes = 0;
        return;
    }
    ReadBlock(Buffer, Bytes);
    if (Bytes <= 0) {
        Bytes = 0;
        _EndOfStream = true;
        return;
    }
    int64_t pos = FPosition + Bytes;
    const int64_t size = FSize;
    if (size > 0 && pos >= size) {
        _EndOfStream = true;
        if (pos > size) {
            Bytes -= pos - size;
            pos = size;
        }
    }
    FPosition = pos;
}

// ---------------------------------------------------------------------------------------------
// TAuFileIn

void TAuFileIn::OpenStream() {
    if (FStreamAssigned) return;
    FOwnStream = std::make_unique<TAuFileStream>(FFileName, TAuFileStream::kInputMode);
    FStream = FOwnStream.get();
}

void TAuFileIn::CloseStream() {
    if (FStreamAssigned) {
        if (FStream && FStream->Seekable()) FStream->SetPosition(0);
    } else {
        FOwnStream.reset();
        FStream = nullptr;
    }
}

void TAuFileIn::SetFileName(const std::string& v) {
    std::lock_guard lock(DataCS);
    CloseSource();
    FFileName = v;
}

void TAuFileIn::SetStream(TAuStream* v) {
    std::lock_guard lock(DataCS);
    CloseSource();
    if (!FStreamAssigned) {
        FOwnStream.reset();
    }
    TAuStreamedInput::SetStream(v);
}

bool TAuFileIn::Valid() {
    if (!FStreamAssigned && FFileName.empty()) return FValid;
    try {
        OpenSource();
    } catch (...) {
        return false;
    }
    if (FValid) return true;
    try {
        CloseSource();
    } catch (...) {
    }
    return false;
}

void TAuFileIn::Reset() { TAuInput::Reset(); }

int TAuFileIn::BitsPerSample() {
    OpenSource();
    return static_cast<int>(FBPS.load());
}

int TAuFileIn::Channels() {
    OpenSource();
    return static_cast<int>(FChan.load());
}

int TAuFileIn::SampleRate() {
    OpenSource();
    return static_cast<int>(FSR.load());
}

int64_t TAuFileIn::TotalSamples() {
    OpenSource();
    const int64_t frame = static_cast<int64_t>(FChan) * (FBPS / 8);
    const int64_t size = FSize;
    if (size > 0 && frame > 0) {
        FTotalSamples = size / frame;
        return FTotalSamples;
    }
    return -1;
}

int64_t TAuFileIn::TotalTime() {
    OpenSource();
    const int64_t sr = FSR, ch = FChan, bytes = FBPS / 8;
    if (sr == 0 || ch == 0 || bytes == 0) return 0;
    return static_cast<int64_t>(std::nearbyint(static_cast<double>(FSize.load()) / static_cast<double>(sr * ch * bytes)));
}

void TAuFileIn::StartReading() {
    if (Busy) throw EAuException("The component is Busy");
    if (!FStreamAssigned && FFileName.empty()) throw EAuException("The file name is not assigned");
    Busy = true;
    FPosition = 0;
    try {
        OpenSource();
    } catch (...) {
        Busy = false;
        throw;
    }
    BufStart = 1;
    BufEnd = 0;
    if (!FValid) {
        FSR = 8000;
        FBPS = 8;
        FChan = 1;
        FSize = 0;
        FTotalSamples = 0;
        FTime = 0;
        _EndOfStream = true;  // the run delivers nothing
        return;
    }
    const int64_t frame = static_cast<int64_t>(FChan) * (FBPS / 8);
    FSampleSize = static_cast<uint16_t>(frame);
    const bool sizeKnown = FSize > 0;
    const int64_t total = FSize / frame;
    FTotalSamples = total;
    FTime = static_cast<uint32_t>(FSR ? total / FSR : 0);

    int64_t start = FStartSample;
    if (start > 0) {
        SeekSource(start);
        FPosition = 0;
    }
    int64_t end = FEndSample;
    if (start <= 0 && end == -1) return;  // the whole source
    start = std::max<int64_t>(start, 0);
    // The range is inclusive at both ends; it never reaches past the source's last frame.
    if (sizeKnown && (end < -1 || end > total - 1)) end = -1;
    int64_t last;
    if (end == -1) {
        if (!sizeKnown) return;  // no size: from the start frame until the source runs dry
        last = total - 1;
    } else {
        last = end;
    }
    const int64_t frames = std::max<int64_t>(last - start + 1, 0);
    FTotalSamples = frames;
    FSize = frames * frame;
    if (frames == 0) _EndOfStream = true;
}

void TAuFileIn::StopReading() {
    CloseSource();
    FStartSample = 0;
    FEndSample = -1;
    Busy = false;
}

// ---------------------------------------------------------------------------------------------
// TAuConverter

void TAuConverter::SetInput(TAuInput* v) {
    if (v == this) return;
    std::lock_guard lock(DataCS);
    if (Busy) {
        if (FInput) FInput->Flush();
        if (v) v->Init();
    }
    FInput = v;
}

int TAuConverter::BitsPerSample() { return FInput ? FInput->BitsPerSample() : 0; }
int TAuConverter::Channels() { return FInput ? FInput->Channels() : 0; }
int TAuConverter::SampleRate() { return FInput ? FInput->SampleRate() : 0; }
int64_t TAuConverter::OutFrameBytes() { return static_cast<int64_t>(Channels()) * (BitsPerSample() / 8); }
int64_t TAuConverter::InFrameBytes() {
    return FInput ? static_cast<int64_t>(FInput->Channels()) * (FInput->BitsPerSample() / 8) : 0;
}

void TAuConverter::GetData(const uint8_t*& Buffer, int64_t& Bytes) {
    std::lock_guard lock(DataCS);
    if (_EndOfStream) {
        Buffer = nullptr;
        Bytes = 0;
        return;
    }
    ReadBlock(Buffer, Bytes);
    if (Bytes <= 0) {
        Bytes = 0;
        _EndOfStream = true;
        return;
    }
    int64_t pos;
    if (FInput) {
        const int64_t inFrame = InFrameBytes(), outFrame = OutFrameBytes();
        pos = FInput->Position();
        if (inFrame > 0 && outFrame > 0 && inFrame != outFrame) pos = pos / inFrame * outFrame;
    } else {
        pos = FPosition + Bytes;
    }
    const int64_t size = FSize;
    if (size > 0 && pos > size) {
        Bytes = std::max<int64_t>(Bytes - (pos - size), 0);
        pos = size;
        _EndOfStream = true;
    }
    FPosition = pos;
}

void TAuConverter::_Pause() {
    if (FInput) FInput->_Pause();
}
void TAuConverter::_Resume() {
    if (FInput) FInput->_Resume();
}
void TAuConverter::_Jump(int Offs) {
    if (FInput) FInput->_Jump(Offs);
}

// ---------------------------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------------------------
// File outputs and tags

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

std::string TAuTags::Key(const std::string& Name) {
    std::string k = Name;
    for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
}

void TAuTags::SetValue(const std::string& Name, const std::string& Value) { values_[Key(Name)] = Value; }

std::string TAuTags::AsString(const std::string& Name) const {
    auto it = values_.find(Key(Name));
    return it == values_.end() ? std::string() : it->second;
}

int64_t TAuTags::AsInteger(const std::string& Name) const {
    std::string v = AsString(Name);
    if (v.empty()) return 0;
    try {
        size_t used = 0;
        int64_t n = std::stoll(v, &used);
        return used == v.size() ? n : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace tolvak
