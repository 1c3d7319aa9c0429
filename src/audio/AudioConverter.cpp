#include "audio/AudioConverter.h"

#include "audio/PcmConvert.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tolvak {

int TAudioConverter::BitsPerSample() {
    if (!FInput) return 0;
    return FOutBitsPerSample != 0 ? FOutBitsPerSample : FInput->BitsPerSample();
}

int TAudioConverter::Channels() {
    if (!FInput) return 0;
    const int in = FInput->Channels();
    if ((FOutChannels == 1 || FOutChannels == 2) && (in == 1 || in == 2)) return FOutChannels;
    return in;
}

int64_t TAudioConverter::OutFrameBytes() {
    return IBPS > 0 ? static_cast<int64_t>(ICh) * (IBPS / 8) : TAuConverter::OutFrameBytes();
}

int64_t TAudioConverter::InFrameBytes() {
    return InBytesPerSample > 0 ? static_cast<int64_t>(InChannels) * InBytesPerSample : TAuConverter::InFrameBytes();
}

void TAudioConverter::StartReading() {
    if (!FInput) throw EAuException("Input is not assigned");
    IBPS = 0;
    InBytesPerSample = 0;
    FInput->Init();
    Busy = true;
    FPosition = 0;
    const int inBits = FInput->BitsPerSample();
    const int outBits = BitsPerSample();
    auto supported = [](int b) { return b == 8 || b == 16 || b == 24 || b == 32; };
    if (!supported(inBits) || !supported(outBits)) throw EAuException("Unsupported sample width");
    IBPS = outBits;
    ICh = Channels();
    InChannels = std::max(FInput->Channels(), 1);
    InBytesPerSample = inBits / 8;
    OutBytesPerSample = IBPS / 8;
    const int64_t inSize = FInput->Size();
    if (inSize < 0) {
        FSize = -1;
    } else {
        const double exact = static_cast<double>(inSize) * IBPS * ICh / (static_cast<double>(inBits) * InChannels);
        auto size = static_cast<int64_t>(std::nearbyint(exact));
        const int64_t outFrame = static_cast<int64_t>(IBPS) * ICh / 8;
        FSize = size - size % outFrame;
    }
    OutFrames = 0;
    OutBuf.clear();
    FloatBuf.clear();
}

void TAudioConverter::StopReading() {
    std::exception_ptr failure;
    try {
        if (FInput) FInput->Flush();
    } catch (...) {
        failure = std::current_exception();
    }
    OutBuf = {};
    FloatBuf = {};
    OutFrames = 0;
    Busy = false;
    if (failure) std::rethrow_exception(failure);
}

void TAudioConverter::ReadBlock(const uint8_t*& Buffer, int64_t& Bytes) {
    if (!FInput || IBPS == 0) {
        Bytes = 0;
        return;
    }
    if (FOutBitsPerSample == 0 && FOutChannels == 0) {
        FInput->GetData(Buffer, Bytes);
        return;
    }
    const int64_t frames = (std::max<int64_t>(Bytes, 0) / OutBytesPerSample) / ICh;
    int64_t want = frames * InBytesPerSample * InChannels;
    const uint8_t* in = nullptr;
    FInput->GetData(in, want);
    if (want <= 0) {
        Bytes = 0;
        return;
    }
    const int64_t c = (want / InBytesPerSample) / InChannels;
    if (c > OutFrames) {
        OutBuf.resize(static_cast<size_t>(c * OutBytesPerSample * ICh));
        FloatBuf.resize(static_cast<size_t>(c * std::max(InChannels, ICh)));
        OutFrames = c;
    }
    float* f = FloatBuf.data();
    pcm::ToFloat(InBytesPerSample * 8, in, f, c * InChannels);
    if (ICh == 2 && InChannels == 1) {
        for (int64_t i = c - 1; i >= 0; --i) {
            f[2 * i + 1] = f[i];
            f[2 * i] = f[i];
        }
    } else if (ICh == 1 && InChannels == 2) {
        for (int64_t i = 0; i < c; ++i) f[i] = (f[2 * i] + f[2 * i + 1]) / 2.0f;
    }
    pcm::FromFloat(IBPS, f, OutBuf.data(), c * ICh);
    Buffer = OutBuf.data();
    Bytes = c * OutBytesPerSample * ICh;
}

}  // namespace tolvak
