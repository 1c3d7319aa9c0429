#include "audio/AudioMixer.h"

#include "audio/PcmConvert.h"

#include <algorithm>
#include <cstring>

namespace tolvak {

int TAudioMixer::BitsPerSample() {
    if (!FInput1) throw EAuException("Input not assigned");
    return FInput1->BitsPerSample();
}

int TAudioMixer::Channels() {
    if (!FInput1) throw EAuException("Input not assigned");
    return FInput1->Channels();
}

int TAudioMixer::SampleRate() {
    if (!FInput1) throw EAuException("Input not assigned");
    return FInput1->SampleRate();
}

void TAudioMixer::SetInput1(TAuInput* v) {
    if (Busy) throw EAuException("The component is busy.");
    FInput1 = v;
}

void TAudioMixer::SetInput2(TAuInput* v) {
    if (Busy) throw EAuException("The component is busy.");
    FInput2 = v;
}

void TAudioMixer::StartReading() {
    Busy = true;
    FPosition = 0;
    SamplesCount = 0;
    EndOfInput1 = false;
    EndOfInput2 = false;
    if (!FInput1) throw EAuException("Input1 is not assigned");
    if (!FInput2) throw EAuException("Input2 is not assigned");
    FInput1->Init();
    FInput2->Init();
    Bits1 = FInput1->BitsPerSample();
    Bits2 = FInput2->BitsPerSample();
    BytesPerSample1 = static_cast<uint8_t>(Bits1 / 8);
    BytesPerSample2 = static_cast<uint8_t>(Bits2 / 8);
    auto supported = [](int b) { return b == 8 || b == 16 || b == 24 || b == 32; };
    if (!supported(Bits1) || !supported(Bits2)) throw EAuException("Unsupported sample width");
    Channels1 = std::max(FInput1->Channels(), 1);
    const int64_t size1 = FInput1->Size();
    const int64_t size2 = FInput2->Size();
    const int64_t len1 = size1 / BytesPerSample1;
    const int64_t len2 = size2 / BytesPerSample2;
    Input2StartValues = FInput2Start * FInput2->Channels();
    if (size1 <= 0 || size2 <= 0) {
        FSize = 0;  // an input announces no size, so neither can the mix
    } else if (FMode == TAudioMixerMode::amConcatenate) {
        FSize = (len1 + len2) * BytesPerSample1;
    } else {
        FSize = std::max(len1, len2 + Input2StartValues) * BytesPerSample1;
    }
    InBuf1.assign(static_cast<size_t>(kBlockValues) * BytesPerSample1, pcm::SilenceByte(Bits1));
    InBuf2.assign(static_cast<size_t>(kBlockValues) * BytesPerSample2, pcm::SilenceByte(Bits2));
    FloatBuf1.assign(kBlockValues, 0.0f);
    FloatBuf2.assign(kBlockValues, 0.0f);
}

void TAudioMixer::StopReading() {
    std::exception_ptr failure;
    try {
        if (FInput1) FInput1->Flush();
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        if (FInput2) FInput2->Flush();
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    InBuf1 = {};
    InBuf2 = {};
    FloatBuf1 = {};
    FloatBuf2 = {};
    Busy = false;
    if (failure) std::rethrow_exception(failure);
}

void TAudioMixer::ReadBlock(const uint8_t*& Buffer, int64_t& Bytes) {
    Buffer = InBuf1.data();
    if ((EndOfInput1 && EndOfInput2) || BytesPerSample1 == 0 || InBuf1.empty()) {
        Bytes = 0;
        return;
    }
    int64_t n = std::min<int64_t>(kBlockValues, std::max<int64_t>(Bytes, 0) / BytesPerSample1);
    n -= n % Channels1;  // whole frames of input 1
    if (n <= 0) {
        Bytes = 0;
        return;
    }
    const float gain1 = static_cast<float>(FVolume1.load()) / 65535.0f;
    const float gain2 = static_cast<float>(FVolume2.load()) / 65535.0f;
    uint8_t* in1 = InBuf1.data();
    uint8_t* in2 = InBuf2.data();
    float* f1 = FloatBuf1.data();
    float* f2 = FloatBuf2.data();

    if (FMode == TAudioMixerMode::amMix) {
        std::memset(in1, pcm::SilenceByte(Bits1), static_cast<size_t>(n * BytesPerSample1));
        int64_t n1 = 0;
        if (!EndOfInput1) {
            bool eof = false;
            n1 = FInput1->FillBuffer(in1, n * BytesPerSample1, eof) / BytesPerSample1;
            if (eof) EndOfInput1 = true;
            SamplesCount += n1;
        }
        // Input 1 has nothing more and input 2 has not started yet: the block is silence in
        // input 1's place, counted towards the start (also when input 1 ended exactly at the
        // previous block's end, so the mix cannot stop before input 2 has sounded).
        if (EndOfInput1 && n1 == 0 && Input2StartValues > SamplesCount) {
            n1 = n;
            SamplesCount += n;
        }
        std::memset(in2, pcm::SilenceByte(Bits2), static_cast<size_t>(n * BytesPerSample2));
        int64_t n2 = 0;
        if (Input2StartValues <= SamplesCount && !EndOfInput2) {
            bool eof = false;
            n2 = FInput2->FillBuffer(in2, n * BytesPerSample2, eof) / BytesPerSample2;
            if (eof) EndOfInput2 = true;
        }
        pcm::ToFloat(Bits1, in1, f1, kBlockValues);
        pcm::ToFloat(Bits2, in2, f2, kBlockValues);
        for (int i = 0; i < kBlockValues; ++i) f1[i] = (f1[i] * gain1 + f2[i] * gain2) / 2.0f;
        pcm::FromFloat(Bits1, f1, in1, kBlockValues);
        Bytes = std::max(n1, n2) * BytesPerSample1;
        return;
    }

    // amConcatenate: input 1, then input 2 from the very next block.
    if (!EndOfInput1) {
        bool eof = false;
        const int64_t n1 = FInput1->FillBuffer(in1, n * BytesPerSample1, eof) / BytesPerSample1;
        if (eof) EndOfInput1 = true;
        if (n1 > 0) {
            pcm::ToFloat(Bits1, in1, f2, n1);
            for (int64_t i = 0; i < n1; ++i) f2[i] *= gain1;
            pcm::FromFloat(Bits1, f2, in1, n1);
            Bytes = n1 * BytesPerSample1;
            return;
        }
    }
    if (!EndOfInput2) {
        bool eof = false;
        const int64_t n2 = FInput2->FillBuffer(in2, n * BytesPerSample2, eof) / BytesPerSample2;
        if (eof) EndOfInput2 = true;
        pcm::ToFloat(Bits2, in2, f2, n2);
        for (int64_t i = 0; i < n2; ++i) f2[i] *= gain2;
        pcm::FromFloat(Bits1, f2, in1, n2);
        Bytes = n2 * BytesPerSample1;
        return;
    }
    Bytes = 0;
}

}  // namespace tolvak
