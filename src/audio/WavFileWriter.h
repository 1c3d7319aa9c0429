#pragma once
// The 16-bit PCM WAV file writer of the decoding and compression steps.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace tolvak::audiolib {

/// Writes a 16-bit PCM WAV file with the 44-byte header. The data goes into a temporary file
/// beside the target, which replaces the target only on Commit: a failed or abandoned write
/// never leaves a half file under the target's name and an existing target stays as it was.
class WavFileWriter {
public:
    /// Raises the error of platform/Bledy.h naming the target (a std::system_error) when the
    /// file cannot be created.
    static std::unique_ptr<WavFileWriter> Create(const std::filesystem::path& target,
                                                 int sampleRate, int channels);
    ~WavFileWriter();  // discards an uncommitted file
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    /// Appends interleaved samples (whole frames). Raises the write error naming the target
    /// (disk full, ...); the target then stays as it was.
    void Write(std::span<const int16_t> samples);
    /// Completes the header, closes the file and puts it under the target's name. Raises the
    /// error of the write, the close or the rename; the target then stays as it was.
    void Commit();
    bool Failed() const { return failed_; }
    int64_t DataBytes() const { return dataBytes_; }

private:
    WavFileWriter() = default;
    void Discard();
    std::filesystem::path target_, temp_;
    static constexpr std::size_t kBufferBytes = 256 * 1024;
    std::vector<char> buf_;  // the file's buffer; outlives f_ (closed in Commit or Discard)
    std::FILE* f_ = nullptr;
    int rate_ = 0;
    int channels_ = 0;
    int64_t dataBytes_ = 0;
    bool failed_ = false;
};

/// The 44-byte header of a 16-bit PCM WAV file holding `dataBytes` bytes of samples.
std::vector<unsigned char> WavHeader16(int sampleRate, int channels, uint32_t dataBytes);

}  // namespace tolvak::audiolib
