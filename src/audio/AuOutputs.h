#pragma once
// The outputs of the PCM component model: anything that consumes PCM on its own worker thread,
// the worker itself, and the stream-, file- and tag-carrying outputs. An output's progress and
// end reach the user-interface thread through the event dispatcher (audio/AuDispatcher.h).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/AuDispatcher.h"
#include "audio/AuInputs.h"
#include "audio/AuStreams.h"
#include "audio/AuTags.h"

namespace tolvak {

enum class TOutputStatus { tosPlaying, tosPaused, tosIdle };
enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
enum class TFileOutputMode { foRewrite, foAppend };

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
    /// Asks the current run to end; wakes a worker that waits between blocks.
    void RequestStop();
    bool IsCurrentThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    /// Sleeps until cond() holds; cond reads the flags below, which the worker announces
    /// whenever it goes idle, pauses or goes on. With RunUiCalls on the user-interface thread,
    /// the calls posted to it run meanwhile.
    void WaitFor(const std::function<bool()>& cond, bool RunUiCalls);

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
    /// The pause before a block that `Delay` asks for; a stop ends it at once.
    void Throttle(int ms);
    /// Wakes everyone in WaitFor to look at the flags again.
    void Announce();

    TAuOutput& Parent_;
    std::mutex StateCS;
    std::condition_variable StateChanged;
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
    /// Closes an own file (an assigned stream stays as it is). For FinishOutput. False when the
    /// last buffered bytes could not be written.
    bool CloseOutputFile();
    /// Raises the error of a write the file did not take: the file and the system's reason
    /// ("Nie można zapisać pliku X: brak miejsca na dysku").
    [[noreturn]] void RaiseWriteError(int err = 0) const;

    std::string FFileName;
    TFileOutputMode FFileMode = TFileOutputMode::foRewrite;
    int FAccessMask = 0;
    uint16_t FShareMode = 0;
    int FCloseError = 0;  // the reason the last CloseOutputFile failed
};

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
