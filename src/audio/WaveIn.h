#pragma once
// The WAV file reader: a RIFF/WAVE file (or a stream holding one) as a PCM input.

#include "audio/AuInputs.h"

#include <array>

namespace tolvak {

/// The encoding of a WAV file.
enum class TWavType { wtUnsupported, wtPCM, wtDVIADPCM, wtMSADPCM, wtACM, wtIEEEFloat, wtExtPCM, wtExtIEEEFloat };

class TWaveIn : public TAuFileIn {
public:
    static constexpr uint32_t kBufferSize = 16384;

    TWaveIn();
    ~TWaveIn() override;

    /// Opens the source and returns the type its header gives.
    TWavType WavType();
    /// The offset of the first data byte from where parsing began (after the source opened).
    uint16_t HeaderSize() const { return FHeaderSize; }

protected:
    void ReadBlock(const uint8_t*& Buffer, int64_t& Bytes) override;
    bool SeekSource(int64_t& SampleNum) override;
    void OpenSource() override;
    void CloseSource() override;

private:
    bool ParseHeader();

    std::array<uint8_t, kBufferSize> buf{};
    TWavType _WavType = TWavType::wtUnsupported;
    uint16_t FHeaderSize = 0;
    int64_t FDataStart = 0;  // stream position of the first data byte
    bool ShortIEEEFloat = false;
    uint16_t FBlockAlign = 0;
};

}  // namespace tolvak
