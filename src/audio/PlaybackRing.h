#pragma once
// The sound card side of playback: a ring of PCM bytes that the audio device plays in a loop
// from offset 0 while the playback worker keeps it filled. It offers what the playback output
// needs of a device: the play and write cursors, locking a byte range in up to two regions,
// start, stop, restart and a volume in hundredths of a decibel. The device is a PortAudio
// callback stream that copies out of the ring.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tolvak {

/// One playback device: the PortAudio device index and its description.
struct TPlaybackDevice {
    int Index = -1;
    std::string Description;  // at most 127 characters
};

/// The devices found at creation: entry 0 is the default output device, then every device that
/// can play, at most 16 entries.
struct TPlaybackDevices {
    static constexpr int kMax = 16;
    int devcount = 0;
    std::array<TPlaybackDevice, kMax> dinfo{};
};

/// Keeps PortAudio initialised while it exists, so that device indices stay valid. Every call
/// into PortAudio (apart from the stream callback) is made under PaMutex().
class TPaSession {
public:
    TPaSession();
    ~TPaSession();
    TPaSession(const TPaSession&) = delete;
    TPaSession& operator=(const TPaSession&) = delete;
    bool Ok() const { return ok_; }
    TPlaybackDevices Enumerate() const;
    /// The PortAudio device exists and can play.
    bool HasDevice(int Index) const;
    static std::mutex& PaMutex();

private:
    bool ok_ = false;
};

/// A PCM format to play: interleaved, little-endian, 8-bit unsigned or 16/24/32-bit signed.
struct TPcmFormat {
    uint32_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t BitsPerSample = 0;
    uint32_t BlockAlign() const { return Channels * (BitsPerSample / 8); }
};

/// The ring and the device stream that plays it.
///
/// Byte positions are counted from offset 0 at Start as 64-bit totals, so the free space is
/// exact however often the device laps the ring. When the writer falls behind, the device plays
/// silence and waits at the write cursor instead of replaying old bytes, so no written byte is
/// skipped; each such stall counts as one underflow.
///
/// All operations but SetVolume and Volume belong to the playback worker.
class TPlaybackRing {
public:
    /// Called on the device's thread with every block handed to the device (after the volume),
    /// and whether the ring was running (a stopped ring hands out silence). For tests and meters.
    using TPlayedTap = std::function<void(const uint8_t* Data, int64_t Bytes, bool Running)>;

    /// The writable regions of a lock: two when the range wraps past the ring's end.
    struct TRegions {
        uint8_t* Ptr1 = nullptr;
        int64_t Len1 = 0;
        uint8_t* Ptr2 = nullptr;
        int64_t Len2 = 0;
    };

    TPlaybackRing() = default;
    ~TPlaybackRing();
    TPlaybackRing(const TPlaybackRing&) = delete;
    TPlaybackRing& operator=(const TPlaybackRing&) = delete;

    /// Opens a stream on the PortAudio device with a silent ring of Bytes bytes; the stream
    /// runs, but plays silence until Start. Returns 0 or the failure code (a PortAudio error).
    int Open(int DeviceIndex, const TPcmFormat& Format, int64_t Bytes, uint8_t Silence);
    /// Ends the stream: with Drain the device first plays what it has queued.
    void Close(bool Drain);
    bool IsOpen() const { return stream_ != nullptr; }

    /// Plays from offset 0.
    void Start();
    void Stop();
    /// Plays on from where it stopped.
    void Restart();
    bool Running() const { return running_.load(); }

    /// Bytes that may be written now.
    int64_t FreeSpace();
    /// Locks Bytes at Offset for writing (fails when the range exceeds the ring).
    bool Lock(int64_t Offset, int64_t Bytes, TRegions& R);
    /// Hands the locked bytes to the device: the write cursor moves past them.
    void Unlock(const TRegions& R);
    /// Writes N bytes at the write offset; nothing when the lock fails.
    void Write(const uint8_t* Data, int64_t N);
    /// Fills the free space with Value.
    void FillFreeSpace(uint8_t Value);

    /// Sleeps Ms milliseconds, or less when the device ends.
    void WaitPoll(uint32_t Ms);
    /// Sleeps until the device has taken every byte up to the total Played (true), at most Ms
    /// milliseconds (false).
    bool WaitPlayed(int64_t Played, uint32_t Ms);

    /// Hundredths of a decibel, -10000 (silence) to 0 (full level).
    void SetVolume(int Volume);
    int Volume() const { return volume_.load(); }
    void SetPlayedTap(TPlayedTap Tap) { tap_ = std::move(Tap); }

    int64_t OutputSize() const { return size_; }
    int64_t WriteOffset() const { return size_ ? written_.load() % size_ : 0; }
    int64_t PlayCursor() const { return size_ ? played_.load() % size_ : 0; }
    /// Bytes written (and taken by the device) since Start; the cursors are these modulo the size.
    int64_t BytesWritten() const { return written_.load(); }
    int64_t BytesPlayed() const { return played_.load(); }
    uint32_t OutputUnderflows() const { return underflows_.load(); }

private:
    friend struct TRingDevice;
    /// The device's side: fills Out with the next Bytes to play.
    void Play(uint8_t* Out, int64_t Bytes);
    void Wake();

    void* stream_ = nullptr;
    std::vector<uint8_t> ring_;
    int64_t size_ = 0;
    uint32_t bytesPerFrame_ = 1;
    uint32_t bits_ = 16;
    uint8_t silence_ = 0;
    std::atomic<int64_t> written_{0};  // stored by the worker
    std::atomic<int64_t> played_{0};   // stored by the device
    std::atomic<bool> running_{false};
    std::atomic<bool> stalled_{false};
    std::atomic<uint32_t> underflows_{0};
    std::atomic<int> volume_{0};
    std::atomic<double> gain_{1.0};
    std::atomic<int64_t> wakeAt_{INT64_MAX};
    std::atomic<bool> ended_{false};
    std::mutex waitMutex_;
    std::condition_variable waitCv_;
    TPlayedTap tap_;
};

}  // namespace tolvak
