#include "audio/AuInputs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

namespace tolvak {

namespace {

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

}  // namespace

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

}  // namespace tolvak
