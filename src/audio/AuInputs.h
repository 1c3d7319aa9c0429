#pragma once
// The inputs of the PCM component model: anything that delivers blocks of interleaved integer
// PCM, the stream- and file-backed input, and the converter fed by another input.
//
// Units: a sample frame is one sample for every channel (StartSample, EndSample, TotalSamples
// count frames); Position and Size are bytes in the component's own output format; a Size of 0
// or less means that no size is announced. 8-bit samples are unsigned, wider ones signed,
// everything little-endian.
//
// Inputs are referred to, never owned: whoever wires a chain keeps its components alive for as
// long as the chain exists.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/AuStreams.h"

namespace tolvak {

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

}  // namespace tolvak
