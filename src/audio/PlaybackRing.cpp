#include "audio/PlaybackRing.h"

#include <portaudio.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tolvak {

namespace {

constexpr int kVolumeMin = -10000;

/// The first Max characters of a UTF-8 text, never cutting a character in two.
std::string FirstChars(const std::string& s, size_t Max) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && chars++ == Max) return s.substr(0, i);
    }
    return s;
}

PaSampleFormat SampleFormat(uint32_t bits) {
    switch (bits) {
        case 8: return paUInt8;
        case 16: return paInt16;
        case 24: return paInt24;
        case 32: return paInt32;
        default: return 0;
    }
}

int32_t Clamp(double v, int32_t lo, int32_t hi) {
    if (v <= lo) return lo;
    if (v >= hi) return hi;
    return static_cast<int32_t>(std::nearbyint(v));
}

/// Scales Bytes of PCM in place by Gain (below 1).
void ApplyGain(uint8_t* p, int64_t Bytes, uint32_t Bits, double Gain) {
    switch (Bits) {
        case 8:
            for (int64_t i = 0; i < Bytes; ++i) p[i] = static_cast<uint8_t>(Clamp((p[i] - 128) * Gain, -128, 127) + 128);
            break;
        case 16:
            for (int64_t i = 0; i + 1 < Bytes; i += 2) {
                int16_t s;
                std::memcpy(&s, p + i, 2);
                s = static_cast<int16_t>(Clamp(s * Gain, -32768, 32767));
                std::memcpy(p + i, &s, 2);
            }
            break;
        case 24:
            for (int64_t i = 0; i + 2 < Bytes; i += 3) {
                int32_t s = static_cast<int32_t>(static_cast<uint32_t>(p[i]) << 8 | static_cast<uint32_t>(p[i + 1]) << 16 |
                                                 static_cast<uint32_t>(p[i + 2]) << 24) >> 8;
                s = Clamp(s * Gain, -8388608, 8388607);
                p[i] = static_cast<uint8_t>(s);
                p[i + 1] = static_cast<uint8_t>(s >> 8);
                p[i + 2] = static_cast<uint8_t>(s >> 16);
            }
            break;
        case 32:
            for (int64_t i = 0; i + 3 < Bytes; i += 4) {
                int32_t s;
                std::memcpy(&s, p + i, 4);
                s = Clamp(s * Gain, INT32_MIN, INT32_MAX);
                std::memcpy(p + i, &s, 4);
            }
            break;
        default: break;
    }
}

}  // namespace

// TPaSession

std::mutex& TPaSession::PaMutex() {
    static std::mutex m;
    return m;
}

TPaSession::TPaSession() {
    std::lock_guard lock(PaMutex());
    ok_ = Pa_Initialize() == paNoError;
}

TPaSession::~TPaSession() {
    std::lock_guard lock(PaMutex());
    if (ok_) Pa_Terminate();
}

TPlaybackDevices TPaSession::Enumerate() const {
    TPlaybackDevices d;
    if (!ok_) return d;
    std::lock_guard lock(PaMutex());
    std::vector<TPlaybackDevice> found;
    const int count = Pa_GetDeviceCount();
    for (int i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && info->maxOutputChannels > 0) found.push_back({i, FirstChars(info->name ? info->name : "", 127)});
    }
    if (found.empty()) return d;
    // The default device comes first, as the one to use when nothing else is chosen.
    const PaDeviceIndex def = Pa_GetDefaultOutputDevice();
    auto it = std::find_if(found.begin(), found.end(), [&](const TPlaybackDevice& e) { return e.Index == def; });
    d.dinfo[0] = it != found.end() ? *it : found.front();
    d.devcount = 1;
    for (const auto& e : found) {
        if (d.devcount == TPlaybackDevices::kMax) break;
        d.dinfo[static_cast<size_t>(d.devcount++)] = e;
    }
    return d;
}

bool TPaSession::HasDevice(int Index) const {
    if (!ok_) return false;
    std::lock_guard lock(PaMutex());
    const PaDeviceInfo* info = Index >= 0 && Index < Pa_GetDeviceCount() ? Pa_GetDeviceInfo(Index) : nullptr;
    return info && info->maxOutputChannels > 0;
}

// The device's calls into the ring.
struct TRingDevice {
    static int Callback(const void*, void* Out, unsigned long Frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* Self) {
        auto* r = static_cast<TPlaybackRing*>(Self);
        r->Play(static_cast<uint8_t*>(Out), static_cast<int64_t>(Frames) * r->bytesPerFrame_);
        return paContinue;
    }
    static void Finished(void* Self) {
        auto* r = static_cast<TPlaybackRing*>(Self);
        r->ended_ = true;
        r->Wake();
    }
};

// TPlaybackRing

TPlaybackRing::~TPlaybackRing() { Close(false); }

int TPlaybackRing::Open(int DeviceIndex, const TPcmFormat& Format, int64_t Bytes, uint8_t Silence) {
    Close(false);
    const PaSampleFormat fmt = SampleFormat(Format.BitsPerSample);
    if (!fmt) return paSampleFormatNotSupported;
    if (Format.Channels == 0) return paInvalidChannelCount;
    if (Format.SampleRate == 0) return paInvalidSampleRate;
    if (Bytes <= 0 || Bytes % Format.BlockAlign() != 0) return paBufferTooSmall;
    ring_.assign(static_cast<size_t>(Bytes), Silence);
    size_ = Bytes;
    bytesPerFrame_ = Format.BlockAlign();
    bits_ = Format.BitsPerSample;
    silence_ = Silence;
    written_ = 0;
    played_ = 0;
    running_ = false;
    stalled_ = false;
    underflows_ = 0;
    ended_ = false;
    wakeAt_ = INT64_MAX;

    std::lock_guard lock(TPaSession::PaMutex());
    const PaDeviceInfo* info = DeviceIndex >= 0 && DeviceIndex < Pa_GetDeviceCount() ? Pa_GetDeviceInfo(DeviceIndex) : nullptr;
    if (!info) return paInvalidDevice;
    PaStreamParameters p{};
    p.device = DeviceIndex;
    p.channelCount = static_cast<int>(Format.Channels);
    p.sampleFormat = fmt;
    p.suggestedLatency = info->defaultHighOutputLatency;
    PaStream* s = nullptr;
    PaError err = Pa_OpenStream(&s, nullptr, &p, Format.SampleRate, paFramesPerBufferUnspecified, paClipOff,
                                &TRingDevice::Callback, this);
    if (err != paNoError) return err;
    Pa_SetStreamFinishedCallback(s, &TRingDevice::Finished);
    err = Pa_StartStream(s);
    if (err != paNoError) {
        Pa_CloseStream(s);
        return err;
    }
    stream_ = s;
    return 0;
}

void TPlaybackRing::Close(bool Drain) {
    running_ = false;
    if (stream_) {
        std::lock_guard lock(TPaSession::PaMutex());
        auto* s = static_cast<PaStream*>(stream_);
        if (Drain)
            Pa_StopStream(s);
        else
            Pa_AbortStream(s);
        Pa_CloseStream(s);
        stream_ = nullptr;
    }
    ring_ = {};
    size_ = 0;
}

void TPlaybackRing::Start() {
    played_ = 0;
    stalled_ = false;
    running_ = true;
}

void TPlaybackRing::Stop() { running_ = false; }

void TPlaybackRing::Restart() { running_ = true; }

int64_t TPlaybackRing::FreeSpace() {
    if (!stream_) return 0;
    return std::clamp<int64_t>(size_ - (written_.load() - played_.load()), 0, size_);
}

bool TPlaybackRing::Lock(int64_t Offset, int64_t Bytes, TRegions& R) {
    R = {};
    if (!stream_ || Bytes < 0 || Bytes > size_ || Offset < 0 || Offset >= size_) return false;
    R.Ptr1 = ring_.data() + Offset;
    R.Len1 = std::min(Bytes, size_ - Offset);
    R.Ptr2 = ring_.data();
    R.Len2 = Bytes - R.Len1;
    return true;
}

void TPlaybackRing::Unlock(const TRegions& R) { written_.fetch_add(R.Len1 + R.Len2, std::memory_order_release); }

void TPlaybackRing::Write(const uint8_t* Data, int64_t N) {
    TRegions r;
    if (N <= 0 || !Lock(WriteOffset(), N, r)) return;
    std::memcpy(r.Ptr1, Data, static_cast<size_t>(r.Len1));
    if (r.Len2) std::memcpy(r.Ptr2, Data + r.Len1, static_cast<size_t>(r.Len2));
    Unlock(r);
}

void TPlaybackRing::FillFreeSpace(uint8_t Value) {
    const int64_t free = FreeSpace();
    TRegions r;
    if (free == 0 || !Lock(WriteOffset(), free, r)) return;
    std::memset(r.Ptr1, Value, static_cast<size_t>(r.Len1));
    if (r.Len2) std::memset(r.Ptr2, Value, static_cast<size_t>(r.Len2));
    Unlock(r);
}

void TPlaybackRing::Play(uint8_t* Out, int64_t Bytes) {
    if (!running_) {
        std::memset(Out, silence_, static_cast<size_t>(Bytes));
        if (tap_) tap_(Out, Bytes, false);
        return;
    }
    const int64_t p = played_.load(std::memory_order_relaxed);
    const int64_t n = std::clamp<int64_t>(written_.load(std::memory_order_acquire) - p, 0, Bytes);
    const int64_t at = p % size_;
    const int64_t first = std::min(n, size_ - at);
    std::memcpy(Out, ring_.data() + at, static_cast<size_t>(first));
    std::memcpy(Out + first, ring_.data(), static_cast<size_t>(n - first));
    if (n < Bytes) {
        std::memset(Out + n, silence_, static_cast<size_t>(Bytes - n));
        if (!stalled_.exchange(true)) underflows_.fetch_add(1);
    } else {
        stalled_ = false;
    }
    const int v = volume_.load(std::memory_order_relaxed);
    if (v <= kVolumeMin)
        std::memset(Out, silence_, static_cast<size_t>(n));
    else if (v < 0)
        ApplyGain(Out, n, bits_, gain_.load(std::memory_order_relaxed));
    if (tap_) tap_(Out, Bytes, true);
    played_.store(p + n, std::memory_order_release);
    if (p + n >= wakeAt_.load()) Wake();
}

void TPlaybackRing::Wake() {
    { std::lock_guard lock(waitMutex_); }  // a waiter between its test and its sleep sees the change
    waitCv_.notify_all();
}

void TPlaybackRing::WaitPoll(uint32_t Ms) {
    std::unique_lock lock(waitMutex_);
    waitCv_.wait_for(lock, std::chrono::milliseconds(Ms), [&] { return ended_.load(); });
}

bool TPlaybackRing::WaitPlayed(int64_t Played, uint32_t Ms) {
    wakeAt_ = Played;
    {
        std::unique_lock lock(waitMutex_);
        waitCv_.wait_for(lock, std::chrono::milliseconds(Ms), [&] { return played_.load() >= Played || ended_.load(); });
    }
    wakeAt_ = INT64_MAX;
    return played_.load() >= Played;
}

void TPlaybackRing::SetVolume(int Volume) {
    Volume = std::clamp(Volume, kVolumeMin, 0);
    gain_ = std::pow(10.0, Volume / 2000.0);
    volume_ = Volume;
}

}  // namespace tolvak
