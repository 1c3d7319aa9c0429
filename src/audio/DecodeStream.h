#pragma once
// Decoding of sound files as a stream of PCM: the file is read through a fixed buffer while it
// is decoded, so memory does not grow with the file's length.
//
// OpenDecoder is the one entry: it picks the decoding path for a file and hands back a PcmSource.
// Every file goes through libsndfile (WAV in its encodings, MPEG audio through mpg123, detected
// by content); a WAV file that carries MPEG audio (format tag 0x50 for layers I and II, 0x55 for
// layer III, as broadcasters exchange them) hands only its "data" chunk to it. ConvertTo
// (audio/ConvertStream.h) wraps a PcmSource in a stage that converts its rate and channels.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

#include "platform/Bledy.h"

namespace tolvak {

/// A file could not be opened or read: the operation, the file and the system's reason in the
/// words of platform/Bledy.h ("Nie można otworzyć pliku /srv/podklad.wav: brak takiego pliku");
/// code() is the reason.
class EFOpenError : public std::system_error {
public:
    EFOpenError(OperacjaNaPliku operacja, const std::filesystem::path& plik, int err)
        : std::system_error(BladPliku(operacja, plik.native(), err)) {}
};

namespace audiolib {

/// The sample rate and channel count that sounds meet in.
struct PcmFormat {
    int SampleRate = 0;
    int Channels = 0;
    friend bool operator==(const PcmFormat&, const PcmFormat&) = default;
};

/// Bytes per block that the callers request from a decoder, as one decoding step.
inline constexpr std::size_t kBlockBytes = 20001;

/// Decoded interleaved PCM, read block by block until a read delivers nothing.
class PcmSource {
public:
    virtual ~PcmSource() = default;
    virtual int SampleRate() const = 0;
    virtual int Channels() const = 0;
    PcmFormat Format() const { return {SampleRate(), Channels()}; }
    /// The decoded length in bytes of 16-bit samples as announced (for MPEG audio without
    /// gapless information an estimate; 0 when unknown).
    virtual int64_t Length() const = 0;
    /// True while decoded data may remain (until a read delivered nothing).
    virtual bool Active() const = 0;
    /// Decodes whole frames into `out` (at most out.size() / Channels() frames) and returns the
    /// number of frames delivered; 0 at the end. Sources of 16 bits or fewer come through
    /// sample for sample; everything else is rounded and clipped (see FloatTo16).
    virtual std::size_t Read(std::span<int16_t> out) = 0;
    /// The same as floating point with full scale at 1.0 (a 16-bit value / 32768).
    virtual std::size_t Read(std::span<float> out) = 0;
    /// Raises EFOpenError when reading the file failed during the decode (the decode then ended
    /// early, so what was delivered is not the whole file).
    virtual void CheckRead() const = 0;
};

/// Opens `path` for decoding. Raises EFOpenError naming the file when it is missing, a folder
/// or unreadable; returns nullptr when its content is not a sound any path decodes (empty, an
/// HTML page, damaged, an unknown format).
std::unique_ptr<PcmSource> OpenDecoder(const std::filesystem::path& path);

/// Converts floating point samples (full scale 1.0) to 16-bit: value × 32768, rounded to the
/// nearest integer (halves to even) and clipped to -32768..32767.
void FloatTo16(std::span<const float> in, std::span<int16_t> out);

}  // namespace audiolib
}  // namespace tolvak
