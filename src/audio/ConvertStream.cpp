#include "audio/ConvertStream.h"

#include <soxr.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace tolvak::audiolib {

namespace {

class ConvertStream final : public PcmSource {
public:
    static constexpr std::size_t kFrames = 4096;  // input frames per step

    ConvertStream(std::unique_ptr<PcmSource> in, PcmFormat out)
        : in_(std::move(in)), out_(out), inChannels_(in_->Channels()),
          inBuf_(kFrames * static_cast<std::size_t>(inChannels_)),
          mapped_(kFrames * static_cast<std::size_t>(out_.Channels)) {
        if (in_->SampleRate() != out_.SampleRate) {
            soxr_error_t err = nullptr;
            const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
            soxr_ = soxr_create(in_->SampleRate(), out_.SampleRate, static_cast<unsigned>(out_.Channels),
                                &err, &io, &q, nullptr);
            if (err != nullptr) throw std::runtime_error(std::string("soxr: ") + err);
        }
    }
    ~ConvertStream() override {
        if (soxr_) soxr_delete(soxr_);
    }
    ConvertStream(const ConvertStream&) = delete;
    ConvertStream& operator=(const ConvertStream&) = delete;

    int SampleRate() const override { return out_.SampleRate; }
    int Channels() const override { return out_.Channels; }
    int64_t Length() const override {
        const double frames = static_cast<double>(in_->Length()) / (2.0 * inChannels_) *
                              out_.SampleRate / in_->SampleRate();
        return static_cast<int64_t>(frames) * out_.Channels * 2;
    }
    bool Active() const override { return active_; }
    void CheckRead() const override { in_->CheckRead(); }

    std::size_t Read(std::span<int16_t> out) override {
        scratch_.resize(out.size());
        const std::size_t frames = Read(std::span<float>(scratch_));
        const std::size_t n = frames * static_cast<std::size_t>(out_.Channels);
        FloatTo16(std::span<const float>(scratch_.data(), n), out.first(n));
        return frames;
    }

    std::size_t Read(std::span<float> out) override {
        const auto ch = static_cast<std::size_t>(out_.Channels);
        const std::size_t want = out.size() / ch;
        std::size_t got = 0;
        while (active_ && got < want) {
            if (next_ == mappedFrames_ && !inputDone_) Refill();
            const std::size_t have = mappedFrames_ - next_;
            float* into = out.data() + got * ch;
            if (!soxr_) {
                const std::size_t n = std::min(have, want - got);
                std::copy_n(mapped_.data() + next_ * ch, n * ch, into);
                next_ += n;
                got += n;
                if (n == 0 && inputDone_) active_ = false;
                continue;
            }
            std::size_t used = 0, made = 0;
            // Without input left, a call with no input drains what the filter still holds.
            const float* from = have > 0 ? mapped_.data() + next_ * ch : nullptr;
            soxr_error_t err = soxr_process(soxr_, from, have, have > 0 ? &used : nullptr, into,
                                            want - got, &made);
            if (err != nullptr) throw std::runtime_error(std::string("soxr: ") + err);
            next_ += used;
            got += made;
            if (have == 0 && made == 0) active_ = false;
        }
        return got;
    }

private:
    /// Reads the next input block and maps its channels into mapped_.
    void Refill() {
        next_ = mappedFrames_ = 0;
        const std::size_t n = in_->Read(std::span<float>(inBuf_));
        if (n == 0) {
            inputDone_ = true;
            return;
        }
        const auto inCh = static_cast<std::size_t>(inChannels_);
        const auto outCh = static_cast<std::size_t>(out_.Channels);
        if (inCh == outCh) {
            std::copy_n(inBuf_.data(), n * inCh, mapped_.data());
        } else if (outCh > inCh) {
            for (std::size_t f = 0; f < n; ++f)
                for (std::size_t j = 0; j < outCh; ++j) mapped_[f * outCh + j] = inBuf_[f * inCh + j % inCh];
        } else {
            for (std::size_t f = 0; f < n; ++f) {
                for (std::size_t j = 0; j < outCh; ++j) {
                    float sum = 0;
                    int count = 0;
                    for (std::size_t i = j; i < inCh; i += outCh, ++count) sum += inBuf_[f * inCh + i];
                    mapped_[f * outCh + j] = sum / static_cast<float>(count);
                }
            }
        }
        mappedFrames_ = n;
    }

    std::unique_ptr<PcmSource> in_;
    PcmFormat out_;
    int inChannels_;
    soxr_t soxr_ = nullptr;       // none when only the channels change
    std::vector<float> inBuf_;    // one block of the input
    std::vector<float> mapped_;   // the same block in the output's channels
    std::size_t mappedFrames_ = 0;
    std::size_t next_ = 0;        // the first frame of mapped_ not yet handed on
    bool inputDone_ = false;
    bool active_ = true;
    std::vector<float> scratch_;
};

}  // namespace

std::unique_ptr<PcmSource> ConvertTo(std::unique_ptr<PcmSource> source, PcmFormat format) {
    if (!source || source->Format() == format) return source;
    if (format.SampleRate <= 0 || format.Channels <= 0) throw std::invalid_argument("ConvertTo: no format");
    return std::make_unique<ConvertStream>(std::move(source), format);
}

}  // namespace tolvak::audiolib
