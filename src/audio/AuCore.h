#pragma once
// The PCM component model: inputs that deliver blocks of interleaved integer PCM, outputs that
// pull them on a worker thread, and the dispatcher that reports an output's progress and end on
// the user-interface thread.
//
// Units: a sample frame is one sample for every channel (StartSample, EndSample, TotalSamples
// count frames); Position and Size are bytes in the component's own output format; a Size of 0
// or less means that no size is announced. 8-bit samples are unsigned, wider ones signed,
// everything little-endian.
//
// Inputs are referred to, never owned: whoever wires a chain keeps its components alive for as
// long as the chain exists.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tolvak {

/// The error every PCM component raises.
class EAuException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------------------------
// Byte streams

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

/// A positionable byte stream (a file or a block of memory).
class TAuStream {
public:
    virtual ~TAuStream() = default;
    /// Reads up to Count bytes; returns how many came (0 at the end). Raises EAuException on a
    /// read error.
    virtual int64_t Read(void* Buffer, int64_t Count) = 0;
    /// Writes up to Count bytes; returns how many were written (fewer on a full disk).
    virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
    /// Moves the position; returns the new position.
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
    virtual int64_t Size() = 0;
    virtual bool Seekable() const { return true; }
    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t v) { Seek(v, TSeekOrigin::soBeginning); }
};

/// A stream over a platform file handle, opened in binary mode. Destroying it closes the file.
class TAuFileStream final : public TAuStream {
public:
    // Open modes, kept in one place. Mode fmCreate creates the file (or truncates it) for
    // reading and writing; any other mode opens an existing file with the access of its low two
    // bits and the sharing of bits 4 to 7 (the platform here has no share modes to enforce).
    static constexpr uint32_t fmCreate = 0xFF00;
    static constexpr uint32_t fmOpenRead = 0x0000;
    static constexpr uint32_t fmOpenWrite = 0x0001;
    static constexpr uint32_t fmOpenReadWrite = 0x0002;
    static constexpr uint32_t fmShareExclusive = 0x0010;
    static constexpr uint32_t fmShareDenyWrite = 0x0020;  // others may read
    static constexpr uint32_t fmShareDenyRead = 0x0030;   // others may write
    static constexpr uint32_t fmShareDenyNone = 0x0040;   // others may read and write
    /// What file inputs use: read, others may read.
    static constexpr uint32_t kInputMode = fmOpenRead | fmShareDenyWrite;
    /// What file outputs use, combined with their ShareMode.
    static constexpr uint32_t kOutputMode = fmCreate;

    /// Raises EAuException with the platform's text for the failure code.
    TAuFileStream(const std::string& FileName, uint32_t Mode);
    TAuFileStream(const std::string& FileName, uint32_t Rights, uint32_t Mode);
    ~TAuFileStream() override;
    TAuFileStream(const TAuFileStream&) = delete;
    TAuFileStream& operator=(const TAuFileStream&) = delete;

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override;

private:
    int fd_ = -1;
};

/// A stream over a growable block of memory (the mix point editor reads the bed from one).
class TAuMemoryStream final : public TAuStream {
public:
    TAuMemoryStream() = default;
    explicit TAuMemoryStream(std::vector<uint8_t> data) : data_(std::move(data)) {}
    /// Replaces the contents with the file's bytes and rewinds; raises EAuException.
    void LoadFromFile(const std::string& FileName);
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    const std::vector<uint8_t>& Data() const { return data_; }
    void Clear() { data_.clear(); pos_ = 0; }

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Inputs

/// Anything that delivers PCM.
class TAuInput {
public:
    TAuInput() = default;
    virtual ~TAuInput() = default;
    TAuInput(const TAuInput&) = delete;
    TAuInput& operator=(const TAuInput&) = delete;

    virtual int BitsPerSample() = 0;
    virtual int Channels() = 0;
    virtual int SampleRate() = 0;
    /// Whole seconds.
    virtual int64_t TotalTime() { return 0; }
    virtual int64_t TotalSamples() { return 0; }
    virtual void SetRequestFloat(bool v) { FFloatRequested = v; }
    bool RequestFloat() const { return FFloatRequested; }

    /// Prepares a run. Raises EAuException (and marks the input as ended) when the start fails.
    void Init();
    /// Ends the run (also when the subclass's stop step fails, the lock is released).
    void Flush();
    /// On entry Bytes is the most the caller can take; on return Buffer points at the delivered
    /// bytes (owned by the input, valid until its next call) and Bytes says how many; 0 means
    /// the input has nothing more. Whole sample frames, never more than asked.
    virtual void GetData(const uint8_t*& Buffer, int64_t& Bytes);
    /// One GetData for at most BufferSize bytes, copied into Buffer; returns the count (0 at end).
    int64_t CopyData(void* Buffer, int64_t BufferSize);
    /// Repeats GetData until BufferSize bytes were gathered or a call returned nothing; returns
    /// the bytes gathered; EndOF is set when the last call returned nothing.
    int64_t FillBuffer(void* Buffer, int64_t BufferSize, bool& EndOF);
    /// Flush, ignoring any failure, then clear the busy flag.
    virtual void Reset();
    virtual void _Pause() {}
    virtual void _Resume() {}
    virtual void _Jump(int /*Offs*/) {}

    int64_t Position() const { return FPosition.load(); }
    int64_t Size() const { return FSize.load(); }
    bool Seekable() const { return FSeekable; }
    bool IsBusy() const { return Busy.load(); }

protected:
    /// The subclass's start of a run, called only by Init (under DataCS).
    virtual void StartReading() = 0;
    /// The subclass's end of a run, called only by Flush (under DataCS).
    virtual void StopReading() = 0;
    /// The subclass's delivery of one block, called only by GetData (under DataCS).
    virtual void ReadBlock(const uint8_t*& Buffer, int64_t& Bytes) = 0;

    std::atomic<int64_t> FPosition{0};
    std::atomic<int64_t> FSize{0};
    uint16_t FSampleSize = 0;
    bool FSeekable = false;
    std::atomic<bool> Busy{false};
    uint32_t BufStart = 1;
    uint32_t BufEnd = 0;
    std::mutex DataCS;
    std::atomic<bool> _EndOfStream{false};
    bool FFloatRequested = false;
};

/// An input that reads a byte stream: a named file or a stream the caller assigns.
class TAuStreamedInput : public TAuInput {
public:
    TAuStreamedInput() { FSeekable = true; }

    /// The assigned stream, nullptr when the input reads its file.
    TAuStream* Stream() const { return FStreamAssigned ? FStream : nullptr; }
    /// The caller keeps ownership of an assigned stream; nullptr returns to the file.
    virtual void SetStream(TAuStream* v);
    /// First frame to deliver (inclusive); returns to 0 when a run ends.
    int64_t StartSample() const { return FStartSample.load(); }
    void SetStartSample(int64_t v) { FStartSample = v; }
    /// Last frame to deliver (inclusive), -1 for the end; returns to -1 when a run ends.
    int64_t EndSample() const { return FEndSample.load(); }
    void SetEndSample(int64_t v) { FEndSample = v; }
    bool Loop() const { return FLoop; }
    void SetLoop(bool v) { FLoop = v; }
    /// Idle: the next run starts at SampleNum. During a run: jump there (relative to the start).
    bool Seek(int64_t SampleNum);

    void GetData(const uint8_t*& Buffer, int64_t& Bytes) override;

protected:
    virtual bool SeekSource(int64_t& SampleNum) = 0;

    TAuStream* FStream = nullptr;             // the stream read from (own file or assigned)
    std::unique_ptr<TAuStream> FOwnStream;    // the own file, while open
    bool FStreamAssigned = false;
    std::atomic<int64_t> FStartSample{0};
    std::atomic<int64_t> FEndSample{-1};
    bool FLoop = false;
    std::atomic<int64_t> FTotalSamples{0};
};

/// A stream input over a named file or an assigned stream. Concrete: TWaveIn.
class TAuFileIn : public TAuStreamedInput {
public:
    int BitsPerSample() override;
    int Channels() override;
    int SampleRate() override;
    int64_t TotalTime() override;
    /// Opens the source if needed; -1 when no size is known (or the source is not recognised).
    int64_t TotalSamples() override;

    const std::string& FileName() const { return FFileName; }
    /// Closes the source first, then stores the name.
    void SetFileName(const std::string& v);
    const std::string& WideFileName() const { return FFileName; }
    void SetWideFileName(const std::string& v) { SetFileName(v); }
    void SetStream(TAuStream* v) override;
    /// True when the source is recognised (opens it and leaves it open; closes it otherwise).
    bool Valid();
    void Reset() override;

protected:
    void StartReading() override;
    void StopReading() override;
    /// Position the open source at a frame; returns success.
    bool SeekSource(int64_t& SampleNum) override = 0;
    /// Open the source if it is not open and read its header (under OpenCS).
    virtual void OpenSource() = 0;
    /// Close it (under OpenCS).
    virtual void CloseSource() = 0;
    /// Opens the named file for reading (others may read) into FOwnStream / FStream, or uses
    /// the assigned stream. For OpenSource implementations.
    void OpenStream();
    /// Closes an own file, or rewinds an assigned seekable stream. For CloseSource.
    void CloseStream();

    std::mutex OpenCS;
    std::string FFileName;
    std::atomic<int> FOpened{0};
    std::atomic<bool> FValid{false};
    std::atomic<uint32_t> FBPS{0}, FSR{0}, FChan{0};
    std::atomic<uint32_t> FTime{0};
};

/// An input that delivers what it makes of another input. Concrete: TAudioConverter.
class TAuConverter : public TAuInput {
public:
    TAuInput* Input() const { return FInput; }
    /// Non-owning. Setting it to the converter itself is ignored; during a run the old input is
    /// flushed and the new one initialised.
    virtual void SetInput(TAuInput* v);
    void SetInput(TAuInput& v) { SetInput(&v); }

    int BitsPerSample() override;
    int Channels() override;
    int SampleRate() override;
    void GetData(const uint8_t*& Buffer, int64_t& Bytes) override;
    void _Pause() override;
    void _Resume() override;
    void _Jump(int Offs) override;

protected:
    /// Bytes per output frame / bytes per input frame, used to express the input's Position in
    /// output bytes. Defaults to the frame sizes the accessors give.
    virtual int64_t OutFrameBytes();
    virtual int64_t InFrameBytes();

    TAuInput* FInput = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Outputs, worker thread and dispatcher

class TAuOutput;
class TAuThread;
class TEventHandler;

using TOutputDoneEvent = std::function<void(TAuOutput* Sender)>;
using TOutputProgressEvent = std::function<void(TAuOutput* Sender)>;
using TThreadExceptionEvent = std::function<void(TAuOutput* Sender)>;
using TGenericEvent = std::function<void(TAuOutput* Sender)>;

enum class TOutputStatus { tosPlaying, tosPaused, tosIdle };
enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
enum class TFileOutputMode { foRewrite, foAppend };

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

/// Anything that consumes PCM; owns one worker thread. A run starts with Run and ends when the
/// input has nothing more (or on Stop); OnDone then arrives on the user-interface thread.
///
/// Every concrete output must call Shutdown() first thing in its destructor, so that the worker
/// is stopped and gone before the concrete part is destroyed.
class TAuOutput {
public:
    TAuOutput();
    virtual ~TAuOutput();
    TAuOutput(const TAuOutput&) = delete;
    TAuOutput& operator=(const TAuOutput&) = delete;

    /// Starts a run and returns at once. Raises "Component is Busy" or "Input is not assigned".
    void Run();
    /// Ends the run in progress. With Async false (what this program uses) it returns only after
    /// the worker has stopped, runs waiting user-interface calls meanwhile when called on the
    /// user-interface thread, and no OnDone is delivered for the stopped run.
    void Stop(bool Async = false);
    void Pause();
    void Resume();

    TAuInput* Input() const { return FInput; }
    /// Non-owning. During a run: stops it synchronously, stores the input, starts a new run.
    virtual void SetInput(TAuInput* v);
    void SetInput(TAuInput& v) { SetInput(&v); }

    /// 0..100 share of the input consumed; -1 when the input announces no size (negative Size).
    int Progress() const;
    TOutputStatus Status() const;
    /// The message of the error that ended the last run; empty when it ended well.
    std::string ExceptionMessage() const;
    /// Milliseconds the worker sleeps before each block when above 5; values above 100 ignored.
    int Delay() const;
    void SetDelay(int v);
    TThreadPriority ThreadPriority() const { return FThreadPriority; }
    void SetThreadPriority(TThreadPriority v) { FThreadPriority = v; }

    /// The run has ended (user-interface thread).
    TOutputDoneEvent OnDone;
    /// Progress changed (user-interface thread).
    TOutputProgressEvent OnProgress;
    /// An error ended the run (user-interface thread).
    TThreadExceptionEvent OnThreadException;
    /// The run has ended (called on the worker thread itself, before OnDone is posted).
    TOutputDoneEvent OnSyncDone;

protected:
    /// Moves one block; returns whether more follows.
    virtual bool OutputBlock(bool Abort) = 0;
    /// The subclass's end of a run; must cope with a BeginOutput that did not complete.
    virtual void FinishOutput() = 0;
    /// The subclass's start of a run.
    virtual void BeginOutput() = 0;
    /// Stops a run synchronously and ends the worker thread. Idempotent.
    void Shutdown();
    /// For the worker: records the message of the error that ends the run.
    void SetExceptionMessage(const std::string& m);
    bool Stopped() const { return FStopped.load(); }

    std::atomic<bool> FStopped{false};
    std::atomic<bool> CanOutput{false};
    std::atomic<int> CurProgr{0};
    std::atomic<bool> Busy{false};
    TAuInput* FInput = nullptr;
    std::mutex RunCS;

private:
    friend class TAuThread;
    friend class TEventHandler;
    void FinishRun();

    mutable std::mutex MsgCS;
    std::string FExceptionMessage;
    std::atomic<int> FDelay{0};
    TThreadPriority FThreadPriority = TThreadPriority::tpNormal;
    std::unique_ptr<TAuThread> Thread;
    std::shared_ptr<TEventHandler> FDispatcher;
    bool FShutDown = false;
    std::atomic<bool> FDying{false};
};

/// The worker thread of one output.
class TAuThread {
public:
    explicit TAuThread(TAuOutput& Parent);
    ~TAuThread();
    TAuThread(const TAuThread&) = delete;
    TAuThread& operator=(const TAuThread&) = delete;

    /// Asks the worker to end and waits for it.
    void Terminate();
    bool IsCurrentThread() const { return std::this_thread::get_id() == thread_.get_id(); }

    TAuEvent PauseEvent;
    TAuEvent SoftSleepEvent;
    std::atomic<bool> DoNotify{true};
    std::atomic<bool> Stopped{false};
    std::atomic<bool> Stop{false};
    std::atomic<bool> SetPause{false};
    std::atomic<bool> Paused{false};
    std::atomic<bool> Sleeping{false};
    std::atomic<bool> Terminated{false};
    std::atomic<bool> Finished{false};

private:
    void Execute();
    void SoftSleep();
    void DoPause();

    TAuOutput& Parent_;
    std::thread thread_;
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
    TAuOutput* BlockedSender = nullptr;
    std::atomic<bool> Terminated{false};
    std::atomic<bool> Finished{false};
    std::thread thread_;
};

/// An output that writes a byte stream.
class TAuStreamedOutput : public TAuOutput {
public:
    /// The assigned stream, nullptr when the output writes its file.
    TAuStream* Stream() const { return FStreamAssigned ? FStream : nullptr; }
    /// The caller keeps ownership; nullptr returns to the file. Set while idle.
    void SetStream(TAuStream* v) {
        FStream = v;
        FStreamAssigned = v != nullptr;
    }

protected:
    TAuStream* FStream = nullptr;
    std::unique_ptr<TAuStream> FOwnStream;
    bool FStreamAssigned = false;
};

/// An output that writes a named file unless a stream is assigned. Concrete: TWaveOut.
class TAuFileOut : public TAuStreamedOutput {
public:
    const std::string& FileName() const { return FFileName; }
    /// Used from the next run on.
    void SetFileName(const std::string& v) { FFileName = v; }
    const std::string& WideFileName() const { return FFileName; }
    void SetWideFileName(const std::string& v) { FFileName = v; }
    TFileOutputMode FileMode() const { return FFileMode; }
    /// The base stores foRewrite whatever is given.
    virtual void SetFileMode(TFileOutputMode v);
    uint16_t ShareMode() const { return FShareMode; }
    void SetShareMode(uint16_t v) { FShareMode = v; }
    int AccessMask() const { return FAccessMask; }
    void SetAccessMask(int v) { FAccessMask = v; }

protected:
    /// Unless a stream is assigned: raises "File name is not assigned." for an empty name,
    /// otherwise creates the file (fmCreate | ShareMode) into FStream. For BeginOutput.
    void CreateOutputFile();
    /// Opens the existing file for reading and writing (for appending).
    void OpenOutputFileForAppend();
    /// Closes an own file (an assigned stream stays as it is). For FinishOutput.
    void CloseOutputFile();

    std::string FFileName;
    TFileOutputMode FFileMode = TFileOutputMode::foRewrite;
    int FAccessMask = 0;
    uint16_t FShareMode = 0;
};

/// A set of named tag values; names compare ignoring case. An empty value reads as the empty
/// text or as the number 0.
class TAuTags {
public:
    virtual ~TAuTags() = default;
    void Clear() { values_.clear(); }
    bool Empty() const { return values_.empty(); }
    void SetValue(const std::string& Name, const std::string& Value);
    void SetValue(const std::string& Name, int64_t Value) { SetValue(Name, std::to_string(Value)); }
    std::string AsString(const std::string& Name) const;
    /// 0 for an empty value or one that is not a number.
    int64_t AsInteger(const std::string& Name) const;

    std::string Title() const { return AsString("title"); }
    void SetTitle(const std::string& v) { SetValue("title", v); }
    std::string Artist() const { return AsString("artist"); }
    void SetArtist(const std::string& v) { SetValue("artist", v); }
    std::string Album() const { return AsString("album"); }
    void SetAlbum(const std::string& v) { SetValue("album", v); }
    std::string Comment() const { return AsString("comment"); }
    void SetComment(const std::string& v) { SetValue("comment", v); }
    std::string Genre() const { return AsString("genre"); }
    void SetGenre(const std::string& v) { SetValue("genre", v); }
    std::string Year() const { return AsString("year"); }
    void SetYear(const std::string& v) { SetValue("year", v); }
    std::string Track() const { return AsString("track"); }
    void SetTrack(const std::string& v) { SetValue("track", v); }

private:
    static std::string Key(const std::string& Name);
    std::map<std::string, std::string> values_;
};

class TId3v1Tags : public TAuTags {};
class TId3v2Tags : public TAuTags {};
class TAPEv2Tags : public TAuTags {};

/// A file output that owns three tag sets. Concrete: TMP3Out.
class TAuTaggedFileOut : public TAuFileOut {
public:
    TId3v1Tags& Id3v1Tags() { return FId3v1Tags; }
    TId3v2Tags& Id3v2Tags() { return FId3v2Tags; }
    TAPEv2Tags& APEv2Tags() { return FAPEv2Tags; }

protected:
    TId3v1Tags FId3v1Tags;
    TId3v2Tags FId3v2Tags;
    TAPEv2Tags FAPEv2Tags;
};

}  // namespace tolvak
