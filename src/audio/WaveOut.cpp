#include "audio/WaveOut.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <vector>

namespace tolvak {

namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr uint8_t kGuidPcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                  0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint32_t ChannelMask(uint32_t channels) {
    switch (channels) {
        case 1: return 1;
        case 2: return 3;
        case 6: return 0x3F;
        case 8: return 0xFF;
        default: return 0;
    }
}

}  // namespace

TWaveOut::TWaveOut() = default;

TWaveOut::~TWaveOut() { Shutdown(); }

void TWaveOut::SetWavType(TWavType v) {
    if (Busy) return;
    if (v == TWavType::wtPCM || v == TWavType::wtDVIADPCM) FWavType = v;
}

void TWaveOut::SetBlockSize(uint16_t v) {
    if (Busy || v == 0 || v % 4 != 0) return;
    FBlockAlign = v;
}

void TWaveOut::SetFileMode(TFileOutputMode v) { FFileMode = v; }

void TWaveOut::WriteHeader(int64_t DataSize) {
    const auto channels = static_cast<uint32_t>(FInput->Channels());
    const auto rate = static_cast<uint32_t>(FInput->SampleRate());
    const auto bits = static_cast<uint32_t>(FInput->BitsPerSample());
    const uint32_t align = channels * (bits / 8);
    const auto size = static_cast<uint32_t>(static_cast<uint64_t>(DataSize));  // low 32 bits
    std::array<uint8_t, 68> h{};
    if (FWavType == TWavType::wtExtPCM) {
        std::memcpy(h.data(), "RIFF", 4);
        Put32(h.data() + 4, size + 60);
        std::memcpy(h.data() + 8, "WAVEfmt ", 8);
        Put32(h.data() + 16, 40);
        Put16(h.data() + 20, 0xFFFE);
        Put16(h.data() + 22, channels);
        Put32(h.data() + 24, rate);
        Put32(h.data() + 28, rate * align);
        Put16(h.data() + 32, align);
        Put16(h.data() + 34, bits);
        Put16(h.data() + 36, 22);
        Put16(h.data() + 38, bits);
        Put32(h.data() + 40, ChannelMask(channels));
        std::memcpy(h.data() + 44, kGuidPcm, 16);
        std::memcpy(h.data() + 60, "data", 4);
        Put32(h.data() + 64, size);
        HeaderSize = 68;
    } else {
        std::memcpy(h.data(), "RIFF", 4);
        Put32(h.data() + 4, size + 36);
        std::memcpy(h.data() + 8, "WAVEfmt ", 8);
        Put32(h.data() + 16, 16);
        Put16(h.data() + 20, 1);
        Put16(h.data() + 22, channels);
        Put32(h.data() + 24, rate);
        Put32(h.data() + 28, rate * align);
        Put16(h.data() + 32, align);
        Put16(h.data() + 34, bits);
        std::memcpy(h.data() + 36, "data", 4);
        Put32(h.data() + 40, size);
        HeaderSize = 44;
    }
    if (FStream->Write(h.data(), HeaderSize) != HeaderSize) RaiseWriteError();
    FHeaderWritten = true;
}

void TWaveOut::BeginOutput() {
    EndOfInput = false;
    FHeaderWritten = false;
    FAppending = false;
    HeaderSize = 0;
    if (!FStreamAssigned) {
        if (FFileName.empty()) throw EAuException("File name is not assigned.");
        std::error_code ec;
        const bool exists = std::filesystem::exists(FFileName, ec);
        if (exists && FFileMode == TFileOutputMode::foAppend && std::filesystem::file_size(FFileName, ec) > 0 && !ec) {
            // Learn the existing file's format and where its size fields are.
            TWaveIn probe;
            probe.SetFileName(FFileName);
            const TWavType t = probe.WavType();
            if (t != TWavType::wtPCM && t != TWavType::wtExtPCM) throw EAuException("Cannot append data to this .wav file.");
            FPrevCh = probe.Channels();
            FPrevSR = probe.SampleRate();
            FPrevBPS = probe.BitsPerSample();
            FDataSizeOffs = probe.HeaderSize() - 4;
            FPrevWavType = t;
            probe.SetFileName("");
            OpenOutputFileForAppend();
            FAppending = true;
        } else {
            CreateOutputFile();
        }
    }
    FStartPos = FStream->Seekable() ? FStream->Position() : 0;
    FInput->Init();
    if ((FInput->Channels() > 2 || FInput->BitsPerSample() > 16) && !FNonMsHeaders) FWavType = TWavType::wtExtPCM;
    if (FWavType == TWavType::wtDVIADPCM) {
        if (FInput->BitsPerSample() != 16) throw EAuException("Cannot encode 8 bit sound into ADPCM.");
        throw EAuException("IMA ADPCM encoding is not available");
    }
    if (FAppending) {
        if (FPrevCh != FInput->Channels() || FPrevSR != FInput->SampleRate() || FPrevBPS != FInput->BitsPerSample())
            throw EAuException("Cannot append data in different audio format.");
        HeaderSize = FDataSizeOffs + 4;
        FHeaderWritten = true;
        FStream->Seek(0, TSeekOrigin::soEnd);
        return;
    }
    WriteHeader(FInput->Size());
}

bool TWaveOut::OutputBlock(bool Abort) {
    if (Abort || EndOfInput) return false;
    const uint8_t* p = nullptr;
    int64_t n = kBlockBytes;
    // A failing input or a failing write (a full disk) ends the run with its message; going on
    // would only loop or lose the data silently.
    FInput->GetData(p, n);
    if (n <= 0) {
        EndOfInput = true;
        return false;
    }
    if (FStream->Write(p, n) != n) RaiseWriteError();
    return true;
}

void TWaveOut::FinishOutput() {
    std::exception_ptr failure;
    try {
        if (FStream && FHeaderWritten && FInput) {
            if (!FStream->FlushBuffer()) RaiseWriteError();
            const int64_t size = FInput->Size();
            const int64_t fileSize = FStream->Size() - FStartPos;
            if (size <= 0 || FAppending || FStopped) {
                // The header's sizes follow what the file really holds.
                uint8_t v[4];
                Put32(v, static_cast<uint32_t>(fileSize - HeaderSize));
                FStream->SetPosition(FStartPos + HeaderSize - 4);
                if (FStream->Write(v, 4) != 4) RaiseWriteError();
                Put32(v, static_cast<uint32_t>(fileSize - 8));
                FStream->SetPosition(FStartPos + 4);
                if (FStream->Write(v, 4) != 4) RaiseWriteError();
                FStream->Seek(0, TSeekOrigin::soEnd);
            } else if (fileSize < HeaderSize + size) {
                // Fewer bytes came than announced: the data chunk is padded with silence of zero
                // bytes to the announced size.
                FStream->Seek(0, TSeekOrigin::soEnd);
                std::vector<uint8_t> zeros(65536, 0);
                int64_t missing = HeaderSize + size - fileSize;
                while (missing > 0) {
                    const int64_t n = std::min<int64_t>(missing, static_cast<int64_t>(zeros.size()));
                    if (FStream->Write(zeros.data(), n) != n) RaiseWriteError();
                    missing -= n;
                }
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (!CloseOutputFile() && !failure) {
        try {
            RaiseWriteError();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (FInput) {
        try {
            FInput->Flush();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tolvak
