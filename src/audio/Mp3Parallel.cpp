#include "audio/Mp3Parallel.h"

#include <algorithm>
#include <exception>
#include <numeric>

#include "audio/AuException.h"

namespace tolvak::audiolib {

namespace {

/// The length in bytes of the MPEG audio layer III frame whose header starts at p, or 0 when
/// no whole frame starts there.
std::size_t FrameLength(const uint8_t* p, std::size_t avail) {
    static constexpr int kKbps1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr int kKbps2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static constexpr int kRate[3] = {44100, 48000, 32000};
    if (avail < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return 0;
    const int version = (p[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int rateIndex = (p[2] >> 2) & 3;
    if (version == 1 || ((p[1] >> 1) & 3) != 1 || rateIndex == 3) return 0;
    const int kbps = (version == 3 ? kKbps1 : kKbps2)[p[2] >> 4];
    const int rate = kRate[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const std::size_t len =
        static_cast<std::size_t>((version == 3 ? 144000 : 72000) * kbps / rate + ((p[2] >> 1) & 1));
    return kbps > 0 && len <= avail ? len : 0;
}

[[noreturn]] void StreamError() { throw EAuException("LAME Error: the encoder's frames do not line up"); }

int OutputRate(const BE_CONFIG& c) {
    return static_cast<int>(c.dwReSampleRate ? c.dwReSampleRate : c.dwSampleRate);
}

}  // namespace

struct ParallelMp3Encoder::Stretch {
    std::unique_ptr<Mp3Encoder> encoder;  // the first stretch's; the others make their own
    std::vector<int16_t> pcm;             // from the encoder's first frame on
    int64_t skip = 0;                     // frames of warm-up to drop
    int64_t take = -1;                    // frames to keep; -1: all (the last stretch)
    bool last = false;
    std::vector<uint8_t> mp3;             // what the encoder gave; bytes [from, to) are kept
    std::size_t from = 0, to = 0;
    bool done = false;
    std::exception_ptr error;
};

bool ParallelMp3Encoder::Applies(const BE_CONFIG& c) {
    return !c.bEnableVBR && c.bNoRes != 0 && c.dwBitrate > 0 &&
           (c.dwReSampleRate == 0 || c.dwReSampleRate == c.dwSampleRate);
}

int64_t ParallelMp3Encoder::PaddingPeriod(const BE_CONFIG& c) {
    // The encoder pads a frame whenever the fraction of a byte per frame, summed up from the
    // start, passes a whole byte: ((MPEG-1 ? 144000 : 72000) × kbit/s) mod rate per frame.
    const int64_t rate = OutputRate(c);
    if (rate <= 0) return 1;
    const int64_t frac = ((rate >= 32000 ? 144000 : 72000) * static_cast<int64_t>(c.dwBitrate)) % rate;
    return frac == 0 ? 1 : rate / std::gcd(rate, frac);
}

ParallelMp3Encoder::ParallelMp3Encoder(std::unique_ptr<Mp3Encoder> first, const BE_CONFIG& config,
                                       int channels, int threads, int64_t stretchFrames)
    : config_(config), channels_(channels), first_(std::move(first)) {
    valuesPerFrame_ = first_->SamplesPerChunk();
    const int64_t period = PaddingPeriod(config);
    stretchFrames_ = std::max<int64_t>(1, (stretchFrames + period - 1) / period) * period;
    threads_ = std::max(1, threads);
    for (int i = 0; i < threads_; ++i) pool_.emplace_back([this] { Work(); });
}

ParallelMp3Encoder::~ParallelMp3Encoder() {
    {
        std::lock_guard lock(m_);
        ending_ = true;
        queue_.clear();
    }
    work_.notify_all();
    for (auto& t : pool_) t.join();
}

void ParallelMp3Encoder::Encode(std::span<const int16_t> samples, std::vector<uint8_t>& out) {
    pending_.insert(pending_.end(), samples.begin(), samples.end());
    const auto whole = static_cast<std::size_t>((stretchFrames_ + kWarmUpFrames + kLookAheadFrames) * valuesPerFrame_);
    while (pending_.size() >= whole) {
        // Memory stays bounded: no more stretches are under way than there are threads.
        while (static_cast<int>(inFlight_.size()) >= threads_) Collect(out, true);
        Dispatch(false);
    }
    Collect(out, false);
}

void ParallelMp3Encoder::Finish(std::vector<uint8_t>& out) {
    Dispatch(true);
    while (!inFlight_.empty()) Collect(out, true);
}

void ParallelMp3Encoder::Dispatch(bool last) {
    // Stretch k is encoded from frame k × stretchFrames_ on; the first keeps everything from
    // frame 0, the others drop their warm-up; each ends where the next one's frames begin.
    auto s = std::make_shared<Stretch>();
    const std::size_t n = last ? pending_.size()
                               : static_cast<std::size_t>((stretchFrames_ + kWarmUpFrames + kLookAheadFrames) * valuesPerFrame_);
    {
        // The buffers go round: memory the C library would otherwise keep after each stretch.
        std::lock_guard lock(m_);
        if (!spare_.empty()) {
            s->pcm = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    s->pcm.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    s->last = last;
    if (dispatched_ == 0) {
        s->encoder = std::move(first_);
        s->skip = 0;
        s->take = last ? -1 : stretchFrames_ + kWarmUpFrames;
    } else {
        s->skip = kWarmUpFrames;
        s->take = last ? -1 : stretchFrames_;
    }
    ++dispatched_;
    if (last)
        pending_.clear();
    else
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(stretchFrames_ * valuesPerFrame_));
    {
        std::lock_guard lock(m_);
        queue_.push_back(s);
        inFlight_.push_back(s);
    }
    work_.notify_one();
}

void ParallelMp3Encoder::Collect(std::vector<uint8_t>& out, bool wait) {
    std::unique_lock lock(m_);
    while (!inFlight_.empty()) {
        std::shared_ptr<Stretch> s = inFlight_.front();
        if (!s->done) {
            if (!wait) return;
            done_.wait(lock, [&] { return s->done; });
        }
        wait = false;  // after the one waited for, only what is ready
        inFlight_.pop_front();
        if (s->error) std::rethrow_exception(s->error);
        out.insert(out.end(), s->mp3.begin() + static_cast<std::ptrdiff_t>(s->from),
                   s->mp3.begin() + static_cast<std::ptrdiff_t>(s->to));
    }
}

void ParallelMp3Encoder::Work() {
    for (;;) {
        std::shared_ptr<Stretch> s;
        {
            std::unique_lock lock(m_);
            work_.wait(lock, [&] { return ending_ || !queue_.empty(); });
            if (queue_.empty()) return;
            s = queue_.front();
            queue_.pop_front();
        }
        try {
            EncodeStretch(*s, config_, channels_);
        } catch (...) {
            s->error = std::current_exception();
        }
        {
            std::lock_guard lock(m_);
            s->done = true;
            s->pcm.clear();
            spare_.push_back(std::move(s->pcm));
        }
        done_.notify_all();
    }
}

void ParallelMp3Encoder::EncodeStretch(Stretch& s, const BE_CONFIG& config, int channels) {
    if (!s.encoder) s.encoder = std::make_unique<Mp3Encoder>(config, channels);
    Mp3Encoder& e = *s.encoder;
    std::vector<uint8_t> buf(e.OutputBufferSize());
    std::vector<uint8_t> raw;
    raw.reserve(s.pcm.size() / 2);
    const std::size_t chunk = e.SamplesPerChunk();
    for (std::size_t at = 0; at < s.pcm.size(); at += chunk) {
        const std::size_t n = std::min(chunk, s.pcm.size() - at);
        const std::size_t got = e.EncodeChunk(std::span<const int16_t>(s.pcm.data() + at, n), buf);
        raw.insert(raw.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(got));
    }
    if (s.last) {
        const std::size_t got = e.Deinit(buf);
        raw.insert(raw.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(got));
    }
    s.encoder.reset();
    // Keep frames [skip, skip + take) of what came out.
    std::size_t from = raw.size(), to = raw.size();
    std::size_t p = 0;
    int64_t frame = 0;
    for (; p < raw.size(); ++frame) {
        if (frame == s.skip) from = p;
        if (s.take >= 0 && frame == s.skip + s.take) break;
        const std::size_t len = FrameLength(raw.data() + p, raw.size() - p);
        if (len == 0) StreamError();
        p += len;
    }
    if (frame == s.skip) from = p;
    if (s.take >= 0) {
        if (frame != s.skip + s.take) StreamError();  // the stretch ended before its last frame
        to = p;
    }
    s.from = std::min(from, to);
    s.to = to;
    s.mp3 = std::move(raw);
}

}  // namespace tolvak::audiolib
