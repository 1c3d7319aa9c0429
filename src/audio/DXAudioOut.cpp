#include "audio/DXAudioOut.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tolvak {

namespace {

constexpr int kPollsBeforeError = 16;

std::string Hex8(int code) {
    char s[9];
    std::snprintf(s, sizeof s, "%08X", static_cast<unsigned>(code));
    return s;
}

}  // namespace

TDXAudioOut::TDXAudioOut() : FEvents(TEventHandler::Acquire()) {
    Devices = Session.Enumerate();
    FDeviceCount = Devices.devcount;
    SetThreadPriority(TThreadPriority::tpHighest);
}

TDXAudioOut::~TDXAudioOut() { Shutdown(); }

void TDXAudioOut::SetFramesInBuffer(uint32_t v) {
    if (Busy || v == 0) return;
    FFramesInBuffer = v;
}

void TDXAudioOut::SetVolume(int v) {
    v = std::clamp(v, -10000, 0);
    FVolume = v;
    DSW.SetVolume(v);
}

std::string TDXAudioOut::GetDeviceName(int N) const {
    if (N < 0 || N >= FDeviceCount) return {};
    return Devices.dinfo[static_cast<size_t>(N)].Description;
}

void TDXAudioOut::BeginOutput() {
    // The waits below end early on a stop of this run; a Stop of the idle output before the
    // run must not end it.
    FStopped = false;
    Freed = false;
    Aborted = true;  // until the input has been played to its end
    FUnderruns = 0;
    const int dn = FDeviceNumber;
    if (dn < 0 || dn >= FDeviceCount) throw EAuException("Invalid device number");
    FInput->Init();
    Chan = static_cast<uint32_t>(std::max(FInput->Channels(), 0));
    SR = static_cast<uint32_t>(std::max(FInput->SampleRate(), 0));
    BPS = static_cast<uint32_t>(std::max(FInput->BitsPerSample(), 0));
    const float speed = FSpeedFactor;
    if (speed != 1.0f) SR = static_cast<uint32_t>(std::max(0.0, std::nearbyint(static_cast<double>(SR) * speed)));
    uint32_t latency = FLatency;
    if (latency != 0) {
        if (latency < 10) FLatency = latency = 10;
        FFramesInBuffer = static_cast<uint32_t>(static_cast<uint64_t>(latency) * SR / 1000);
        FPollingInterval = latency / 3;
    }
    const int device = Devices.dinfo[static_cast<size_t>(dn)].Index;
    if (!Session.HasDevice(device)) throw EAuException("Failed to create DirectSound device");
    _BufSize = static_cast<int64_t>(FFramesInBuffer) * (BPS / 8) * Chan;
    Buf.assign(static_cast<size_t>(std::max<int64_t>(_BufSize, 0)), 0);
    FillByte = BPS == 8 ? 128 : 0;
    const int code = DSW.Open(device, TPcmFormat{Chan, SR, BPS}, _BufSize, FillByte);
    if (code != 0) throw EAuException("Failed to create DirectSound buffer" + Hex8(code));
    StartInput = true;
    EndOfInput = false;
    _TmpUnderruns = 0;
    DataEnd = 0;
}

bool TDXAudioOut::OutputBlock(bool Abort) {
    if (!CanOutput) return false;
    if (StartInput) {
        const int64_t n = FInput->FillBuffer(Buf.data(), _BufSize, EndOfInput);
        DSW.Write(Buf.data(), n);
        DataEnd = DSW.BytesWritten();
        DSW.SetVolume(FVolume);
        DSW.Start();
        StartInput = false;
    }
    if (Abort) {
        DSW.Stop();
        CanOutput = false;
        return false;
    }
    if (EndOfInput) {
        CanOutput = false;
        Drain();
        return false;
    }

    const int64_t frame = static_cast<int64_t>(Chan) * (BPS / 8);
    int64_t free = 0;
    for (int i = 0; i < kPollsBeforeError && free == 0; ++i) {
        if (Stopped()) return true;  // the worker's loop ends the run
        DSW.WaitPoll(std::max<uint32_t>(FPollingInterval, 1));
        free = DSW.FreeSpace() / frame * frame;
    }
    if (free == 0) throw EAuException("Audio output error");

    const int64_t want = std::min(free, _BufSize);
    int64_t n = want;
    if (FPrefetchData) {
        const uint8_t* p = nullptr;
        FInput->GetData(p, n);
        if (n > 0) DSW.Write(p, n);
    } else {
        bool eof = false;
        n = FInput->FillBuffer(Buf.data(), want, eof);
        DSW.Write(Buf.data(), n);
    }
    EndOfInput = n <= 0;
    if (n > 0) DataEnd = DSW.BytesWritten();
    if (EndOfInput) DSW.FillFreeSpace(FillByte);

    const uint32_t underflows = DSW.OutputUnderflows();
    if (underflows != _TmpUnderruns) {
        FUnderruns = _TmpUnderruns = underflows;
        DSW.Stop();
        DSW.FillFreeSpace(FillByte);
        PostUnderrun();
        DSW.Restart();
    }
    return true;
}

void TDXAudioOut::Drain() {
    // Waits until the device has taken the last byte of the input, so the end of the input is
    // heard; gives up when the device makes no progress for as many looks as a block would.
    int64_t last = DSW.BytesPlayed();
    int still = 0;
    while (!Stopped() && !DSW.WaitPlayed(DataEnd, std::max<uint32_t>(FPollingInterval, 1))) {
        const int64_t now = DSW.BytesPlayed();
        still = now == last ? still + 1 : 0;
        last = now;
        if (still > kPollsBeforeError) break;
    }
    DSW.Stop();
    Aborted = Stopped() || DSW.BytesPlayed() < DataEnd;
}

void TDXAudioOut::PostUnderrun() {
    if (!OnUnderrun) return;
    auto rec = std::make_unique<TEventRecord>();
    rec->_type = TEventType::etGeneric;
    rec->Sender = this;
    rec->Handler = OnUnderrun;
    FEvents->Post(std::move(rec));
}

void TDXAudioOut::FinishOutput() {
    if (!Freed) {
        // After a played-out input the device plays what it still holds; otherwise it stops now.
        DSW.Close(!Aborted);
        Buf = {};
    }
    Freed = true;
    if (FInput) FInput->Flush();
}

}  // namespace tolvak
