#pragma once
// The format converter: changes the sample width and the channel count of its input.

#include "audio/AuInputs.h"

#include <vector>

namespace tolvak {

enum class TMSConverterMode { msmMonoToBoth, msmMonoToLeft, msmMonoToRight };

class TAudioConverter : public TAuConverter {
public:
    TAudioConverter() = default;

    /// OutBitsPerSample when not 0, otherwise the input's (0 without input).
    int BitsPerSample() override;
    /// OutChannels when it is 1 or 2 and the input has 1 or 2 channels; otherwise the input's.
    int Channels() override;

    /// Stored; mono input always goes to both channels.
    TMSConverterMode Mode() const { return FMode; }
    void SetMode(TMSConverterMode v) { FMode = v; }
    /// 0: as the input.
    int OutBitsPerSample() const { return FOutBitsPerSample; }
    void SetOutBitsPerSample(int v) { FOutBitsPerSample = v; }
    /// 0: as the input.
    int OutChannels() const { return FOutChannels; }
    void SetOutChannels(int v) { FOutChannels = v; }

protected:
    void StartReading() override;
    void StopReading() override;
    void ReadBlock(const uint8_t*& Buffer, int64_t& Bytes) override;
    int64_t OutFrameBytes() override;
    int64_t InFrameBytes() override;

private:
    std::vector<uint8_t> OutBuf;
    std::vector<float> FloatBuf;
    int64_t OutFrames = 0;
    int InBytesPerSample = 0;
    int OutBytesPerSample = 0;
    int InChannels = 0;
    TMSConverterMode FMode = TMSConverterMode::msmMonoToBoth;
    int FOutBitsPerSample = 0;
    int FOutChannels = 0;
    int ICh = 0;
    int IBPS = 0;
};

}  // namespace tolvak
