#include "audio/Kompresja.h"

#include <vector>

#include "audio/Compressor.h"
#include "audio/DecodeStream.h"
#include "audio/WavFileWriter.h"

namespace tolvak {

void Kompresuj(const std::string& nagranie, int gain, Okno& okno) {
    okno.setAction("Trwa kompresja dynamiki...");
    okno.processMessages();
    // The file streams through the compressor, which is causal, block by block.
    if (auto stream = audiolib::OpenDecoder(nagranie)) {
        okno.setGaugeMax(stream->Length());
        audiolib::Compressor kompresor(stream->SampleRate(), stream->Channels());
        auto parametry = kompresor.GetParameters();
        parametry.fGain = static_cast<float>(gain);
        kompresor.SetParameters(parametry);
        // The compressed file replaces the original only once it is complete.
        auto wav = audiolib::WavFileWriter::Create(nagranie, stream->SampleRate(),
                                                   stream->Channels());
        const std::size_t ch = static_cast<std::size_t>(stream->Channels());
        const std::size_t frames = std::max<std::size_t>(1, audiolib::kBlockBytes / (2 * ch));
        std::vector<float> blok(frames * ch);
        std::vector<int16_t> pcm(frames * ch);
        while (stream->Active()) {
            const std::size_t n = stream->Read(std::span<float>(blok)) * ch;
            if (n > 0) {
                kompresor.Process(std::span<float>(blok.data(), n));
                audiolib::FloatTo16(std::span<const float>(blok.data(), n),
                                    std::span<int16_t>(pcm.data(), n));
                wav->Write(std::span<const int16_t>(pcm.data(), n));
            }
            okno.advanceGauge(static_cast<int64_t>(audiolib::kBlockBytes));
        }
        stream->CheckRead();
        wav->Commit();
    }
    okno.setAction("Kompresja dynamiki zakończona!");
    okno.processMessages();
}

}  // namespace tolvak
