#pragma once
// The dynamics compressor of the compression step.

#include <cstddef>
#include <span>

namespace tolvak::audiolib {

/// The compressor's parameter record, with the effect's initial values.
struct CompressorParameters {
    float fGain = 0.0f;         // output gain, dB
    float fThreshold = -15.0f;  // dBFS
    float fRatio = 3.0f;        // input dB above the threshold per output dB
    float fAttack = 20.0f;      // ms
    float fRelease = 200.0f;    // ms
};

/// Feed-forward dynamics compressor. The detector follows the loudest channel of every frame,
/// so all channels receive the same gain and the stereo image stays put. Levels above the
/// threshold are reduced by the ratio, with the reduction following the level's rise within the
/// attack time and its fall within the release time; the output gain is added on top.
/// It is causal and keeps its state between calls, so a file streams through it block by block.
class Compressor {
public:
    using Parameters = CompressorParameters;

    Compressor(int sampleRate, int channels, const Parameters& p = Parameters());
    const Parameters& GetParameters() const { return p_; }
    void SetParameters(const Parameters& p);
    /// Processes interleaved frames in place; state carries over between calls.
    void Process(std::span<float> interleaved);

private:
    void Derive();
    int rate_, channels_;
    Parameters p_;
    double thresholdLin_ = 0, attackCoef_ = 0, releaseCoef_ = 0, makeupLin_ = 1;
    double reductionLog2PerDb_ = 0;  // log2 of the gain per dB of level above the threshold
    double envDb_ = 0;               // smoothed level above the threshold, dB
};

}  // namespace tolvak::audiolib
