#pragma once
// The playback output: plays its input through the sound card. The worker keeps a ring of
// Latency milliseconds (audio/PlaybackRing.h) filled that the device plays in a loop.

#include "audio/AuOutputs.h"
#include "audio/PlaybackRing.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace tolvak {

using TUnderrunEvent = std::function<void(TAuOutput* Sender)>;

class TDXAudioOut : public TAuOutput {
public:
    TDXAudioOut();
    ~TDXAudioOut() override;

    /// Index into the devices found at creation; 0 is the default output device.
    int DeviceNumber() const { return FDeviceNumber; }
    void SetDeviceNumber(int v) { FDeviceNumber = v; }
    /// Milliseconds of audio the ring holds; when not 0 it sets FramesInBuffer and
    /// PollingInterval at every start.
    uint32_t Latency() const { return FLatency; }
    void SetLatency(uint32_t v) { FLatency = v; }
    /// Ring size in frames when Latency is 0; ignored during a run (and when 0).
    uint32_t FramesInBuffer() const { return FFramesInBuffer; }
    void SetFramesInBuffer(uint32_t v);
    /// Milliseconds the worker waits before each look at the ring.
    uint32_t PollingInterval() const { return FPollingInterval; }
    void SetPollingInterval(uint32_t v) { FPollingInterval = v; }
    /// Takes blocks straight from the input's own buffer instead of gathering them.
    bool PrefetchData() const { return FPrefetchData; }
    void SetPrefetchData(bool v) { FPrefetchData = v; }
    /// Playback rate factor applied to the sample rate.
    float SpeedFactor() const { return FSpeedFactor; }
    void SetSpeedFactor(float v) { FSpeedFactor = v; }
    /// The ring's attenuation in hundredths of a decibel: 0 full level, -10000 silence.
    int Volume() const { return FVolume; }
    void SetVolume(int v);

    int DeviceCount() const { return FDeviceCount; }
    /// Underruns repaired in the last run.
    uint32_t Underruns() const { return FUnderruns; }
    /// The description of device N; empty when N is not below DeviceCount.
    std::string GetDeviceName(int N) const;

    /// Called on the user-interface thread after an underrun was repaired.
    TUnderrunEvent OnUnderrun;

    /// Sees every block handed to the device (on the device's thread); set while idle.
    void SetPlayedTap(TPlaybackRing::TPlayedTap Tap) { DSW.SetPlayedTap(std::move(Tap)); }

protected:
    void BeginOutput() override;
    bool OutputBlock(bool Abort) override;
    void FinishOutput() override;

private:
    /// Lets the device play what is written, then stops the ring.
    void Drain();
    void PostUnderrun();

    bool Freed = true;
    std::atomic<uint32_t> FLatency{100};
    std::atomic<uint32_t> FFramesInBuffer{24576};
    std::atomic<uint32_t> FPollingInterval{100};
    TPaSession Session;
    TPlaybackRing DSW;
    TPlaybackDevices Devices;
    uint32_t Chan = 0, SR = 0, BPS = 0;
    bool EndOfInput = false;
    bool StartInput = false;
    bool Aborted = false;
    std::vector<uint8_t> Buf;
    std::atomic<int> FDeviceNumber{0};
    int FDeviceCount = 0;
    int64_t _BufSize = 0;
    uint8_t FillByte = 0;
    std::atomic<uint32_t> FUnderruns{0};
    uint32_t _TmpUnderruns = 0;
    int64_t DataEnd = 0;  // ring bytes of the input written so far (the silence after it excluded)
    std::atomic<int> FVolume{0};
    std::atomic<bool> FPrefetchData{true};
    std::atomic<float> FSpeedFactor{1.0f};
    std::shared_ptr<TEventHandler> FEvents;
};

}  // namespace tolvak
