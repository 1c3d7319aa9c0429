#include "support/Nagrania.h"

#include <algorithm>
#include <fstream>
#include <span>

#include "audio/Mp3Encoder.h"
#include "audio/MP3Out.h"
#include "audio/WavFileWriter.h"

namespace tolvak::bench {

void ZapiszWavIMp3(const std::vector<int16_t>& pcm, int rate, const std::filesystem::path& wav,
                   const std::filesystem::path& mp3) {
    auto w = audiolib::WavFileWriter::Create(wav, rate, 2);
    w->Write(pcm);
    w->Commit();
    TMP3Out cfg;
    cfg.SetBitRate(TMP3BitRate::mbr256);
    audiolib::Mp3Encoder enc(cfg.MakeConfig(rate, 2), 2);
    std::vector<uint8_t> buf(enc.OutputBufferSize());
    std::ofstream f(mp3, std::ios::binary);
    for (size_t at = 0; at < pcm.size(); at += enc.SamplesPerChunk()) {
        const size_t n = std::min<size_t>(enc.SamplesPerChunk(), pcm.size() - at);
        const size_t got = enc.EncodeChunk(std::span<const int16_t>(pcm.data() + at, n), buf);
        f.write(reinterpret_cast<const char*>(buf.data()), static_cast<std::streamsize>(got));
    }
    const size_t got = enc.Deinit(buf);
    f.write(reinterpret_cast<const char*>(buf.data()), static_cast<std::streamsize>(got));
}

}  // namespace tolvak::bench
