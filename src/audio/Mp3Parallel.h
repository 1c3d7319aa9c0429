#pragma once
// LAME on several cores, for streams whose frames stand alone (constant bit rate, no bit
// reservoir, no resampling). The stream is cut into stretches of frames, and each stretch is
// encoded by an encoder of its own, on its own thread. An encoder that starts at a frame where
// the padding of the frames starts over, and is fed kWarmUpFrames frames of the input before
// its stretch, is by then in the very state one encoder running from the start would be in:
// from there on its frames are byte for byte that encoder's frames. So the stretches are joined
// as they come, and the file is the one a single encoder writes, in a fraction of the time.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "audio/Mp3Encoder.h"

namespace tolvak::audiolib {

class ParallelMp3Encoder {
public:
    /// More frames than the encoder's state remembers: its adaptive hearing threshold, the
    /// slowest part, reaches its floor within about 50 frames.
    static constexpr int64_t kWarmUpFrames = 96;
    /// Frames fed beyond a stretch's end, so that the encoder has given out its last frame.
    static constexpr int64_t kLookAheadFrames = 4;

    /// Whether the frames of `config` stand alone.
    static bool Applies(const BE_CONFIG& config);

    /// `first` (configured from `config`) encodes the first stretch; `threads` stretches are
    /// encoded at once; a stretch holds about `stretchFrames` frames.
    ParallelMp3Encoder(std::unique_ptr<Mp3Encoder> first, const BE_CONFIG& config, int channels,
                       int threads, int64_t stretchFrames = 1024);
    ~ParallelMp3Encoder();
    ParallelMp3Encoder(const ParallelMp3Encoder&) = delete;
    ParallelMp3Encoder& operator=(const ParallelMp3Encoder&) = delete;

    /// Takes interleaved samples (whole frames of the input); appends to `out` the encoded
    /// bytes that are ready, in order. Raises what an encoder raised.
    void Encode(std::span<const int16_t> samples, std::vector<uint8_t>& out);
    /// Ends the stream: the last stretch is flushed; appends everything that is left.
    void Finish(std::vector<uint8_t>& out);

    /// Frames per padding period: the padding of constant bit rate frames repeats after that
    /// many frames.
    static int64_t PaddingPeriod(const BE_CONFIG& config);

private:
    struct Stretch;
    void Dispatch(bool last);
    void Collect(std::vector<uint8_t>& out, bool wait);
    void Work();
    static void EncodeStretch(Stretch& s, const BE_CONFIG& config, int channels);

    const BE_CONFIG config_;
    const int channels_;
    std::unique_ptr<Mp3Encoder> first_;
    int64_t valuesPerFrame_ = 0;   // input values one frame encodes
    int64_t stretchFrames_ = 0;    // a multiple of the padding period
    std::vector<int16_t> pending_;  // input from the next stretch's encoder start on
    int64_t dispatched_ = 0;
    int threads_ = 1;

    std::mutex m_;
    std::condition_variable work_;  // a stretch waits for a thread, or the threads should end
    std::condition_variable done_;  // a stretch is encoded
    std::deque<std::shared_ptr<Stretch>> queue_;     // waiting for a thread
    std::deque<std::shared_ptr<Stretch>> inFlight_;  // dispatched and not yet collected, in order
    std::vector<std::vector<int16_t>> spare_;        // input buffers of encoded stretches
    bool ending_ = false;
    std::vector<std::thread> pool_;
};

}  // namespace tolvak::audiolib
