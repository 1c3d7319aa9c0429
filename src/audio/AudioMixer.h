#pragma once
// The two-input mixer: the sum of two inputs with the second starting later (amMix), or the
// first followed by the second (amConcatenate), at the first input's format.

#include "audio/AuInputs.h"

#include <vector>

namespace tolvak {

enum class TAudioMixerMode { amMix, amConcatenate };

class TAudioMixer : public TAuInput {
public:
    static constexpr int kBlockValues = 4096;

    TAudioMixer() = default;

    /// Those of Input1; "Input not assigned" without it.
    int BitsPerSample() override;
    int Channels() override;
    int SampleRate() override;

    TAuInput* Input1() const { return FInput1; }
    TAuInput* Input2() const { return FInput2; }
    /// Non-owning; "The component is busy." during a run.
    void SetInput1(TAuInput* v);
    void SetInput1(TAuInput& v) { SetInput1(&v); }
    void SetInput2(TAuInput* v);
    void SetInput2(TAuInput& v) { SetInput2(&v); }
    TAudioMixerMode Mode() const { return FMode; }
    void SetMode(TAudioMixerMode v) { FMode = v; }
    /// amMix: where input 2 starts, in frames of input 2 counted against input 1.
    int64_t Input2StartSample() const { return FInput2Start; }
    void SetInput2StartSample(int64_t v) { FInput2Start = v; }
    /// Gains as Volume / 65535.
    uint16_t Volume1() const { return FVolume1; }
    void SetVolume1(uint16_t v) { FVolume1 = v; }
    uint16_t Volume2() const { return FVolume2; }
    void SetVolume2(uint16_t v) { FVolume2 = v; }

protected:
    void StartReading() override;
    void StopReading() override;
    void ReadBlock(const uint8_t*& Buffer, int64_t& Bytes) override;

private:
    TAuInput* FInput1 = nullptr;
    TAuInput* FInput2 = nullptr;
    bool EndOfInput1 = false;
    bool EndOfInput2 = false;
    std::atomic<uint16_t> FVolume1{65535};
    std::atomic<uint16_t> FVolume2{65535};
    std::vector<uint8_t> InBuf1, InBuf2;
    std::vector<float> FloatBuf1, FloatBuf2;
    uint8_t BytesPerSample1 = 0;
    uint8_t BytesPerSample2 = 0;
    TAudioMixerMode FMode = TAudioMixerMode::amMix;
    int64_t FInput2Start = 0;
    int64_t SamplesCount = 0;
    int64_t Input2StartValues = 0;  // Input2StartSample x input 2's channels, for this run
    int Bits1 = 0;
    int Bits2 = 0;
    int Channels1 = 1;
};

}  // namespace tolvak
