#pragma once
// Byte streams of the PCM components: a positionable stream, one over a platform file handle and
// one over a block of memory.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/AuException.h"

namespace tolvak {

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
    /// Hands what the stream holds back to its device; false when that failed (a full disk).
    virtual bool FlushBuffer() { return true; }
    /// The system's reason (an errno value) for the last short Write or false FlushBuffer; 0
    /// when the stream has none to give.
    virtual int WriteError() const { return 0; }
    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t v) { Seek(v, TSeekOrigin::soBeginning); }
};

/// A stream over a platform file handle, opened in binary mode. Reads and writes go through
/// one buffer of kBufferSize bytes, so the system sees large requests whatever the components'
/// block sizes; a failure to write the buffer shows as a short Write, as a false FlushBuffer, or
/// as an error from Seek and Size. Destroying it writes what is pending and closes the file.
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
    static constexpr int64_t kBufferSize = 256 * 1024;

    /// Raises EAuException naming the operation, the file and the system's reason (Bledy.h).
    TAuFileStream(const std::string& FileName, uint32_t Mode);
    TAuFileStream(const std::string& FileName, uint32_t Rights, uint32_t Mode);
    ~TAuFileStream() override;
    TAuFileStream(const TAuFileStream&) = delete;
    TAuFileStream& operator=(const TAuFileStream&) = delete;

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override;
    bool FlushBuffer() override;
    int WriteError() const override { return writeError_; }
    const std::string& FileName() const { return fileName_; }

private:
    enum class Use { None, Reading, Writing };
    /// The position the caller sees.
    int64_t Logical() const;
    /// Writes the pending bytes; false (error in writeError_) when the file did not take them.
    bool WritePending();
    /// Before a read: write what is pending. Before a write or a seek: forget the read-ahead.
    void EndWriting();
    void EndReading();
    int64_t ReadAll(uint8_t* p, int64_t count);
    [[noreturn]] void Raise(OperacjaNaPliku operacja, int err) const;
    static int64_t WriteAll(int fd, const uint8_t* p, int64_t count, int& error);

    std::string fileName_;
    int fd_ = -1;
    std::vector<uint8_t> buf_;  // allocated at first use
    Use use_ = Use::None;
    int64_t bufPos_ = 0;        // reading: next unread byte in buf_
    int64_t bufLen_ = 0;        // reading: bytes read ahead; writing: bytes pending
    int64_t filePos_ = 0;       // the descriptor's position
    int writeError_ = 0;
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

}  // namespace tolvak
