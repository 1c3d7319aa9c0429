#pragma once
// The WAV file writer: writes what its input delivers into a new WAV file, one complete file
// per run, closed before OnDone.

#include "audio/AuOutputs.h"
#include "audio/WaveIn.h"

namespace tolvak {

class TWaveOut : public TAuFileOut {
public:
    static constexpr int64_t kBlockBytes = 16384;

    TWaveOut();
    ~TWaveOut() override;

    TWavType WavType() const { return FWavType; }
    /// Accepts wtPCM and wtDVIADPCM, and only while idle.
    void SetWavType(TWavType v);
    uint16_t BlockSize() const { return FBlockAlign; }
    /// Ignores 0, values not divisible by 4 and changes during a run.
    void SetBlockSize(uint16_t v);
    bool CreateNonMsHeaders() const { return FNonMsHeaders; }
    void SetCreateNonMsHeaders(bool v) { FNonMsHeaders = v; }
    void SetFileMode(TFileOutputMode v) override;

protected:
    void BeginOutput() override;
    bool OutputBlock(bool Abort) override;
    void FinishOutput() override;

private:
    void WriteHeader(int64_t DataSize);

    bool EndOfInput = false;
    TWavType FWavType = TWavType::wtPCM;
    int HeaderSize = 0;
    bool FHeaderWritten = false;
    bool FAppending = false;
    int64_t FStartPos = 0;
    int FPrevCh = 0, FPrevSR = 0, FPrevBPS = 0;
    int FDataSizeOffs = 40;
    TWavType FPrevWavType = TWavType::wtPCM;
    uint16_t FBlockAlign = 512;
    bool FNonMsHeaders = true;
};

}  // namespace tolvak
