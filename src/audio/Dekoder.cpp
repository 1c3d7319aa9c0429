#include "audio/Dekoder.h"

#include <filesystem>
#include <vector>

#include "audio/AudioLib.h"

namespace tolvak {

void mp3ToWav(const std::string& wejscie, const std::string& wyjscie, Okno& okno) {
    const std::string nazwa = std::filesystem::path(wejscie).filename().string();
    okno.setAction("Konwersja pliku " + nazwa + "...");
    okno.processMessages();
    {
        const std::vector<unsigned char> kopia = audiolib::ReadWholeFile(wejscie);
        if (auto stream = audiolib::DecodeStream::Open(kopia)) {
            okno.setGaugeMax(stream->Length());
            // Nothing reaches `wyjscie` unless the whole decode was written.
            auto wav = audiolib::WavFileWriter::Create(wyjscie, stream->SampleRate(),
                                                       stream->Channels());
            const std::size_t ch = static_cast<std::size_t>(stream->Channels());
            const std::size_t frames = std::max<std::size_t>(1, audiolib::kBlockBytes / (2 * ch));
            std::vector<int16_t> blok(frames * ch);
            while (stream->Active()) {
                const std::size_t n = stream->Read(std::span<int16_t>(blok));
                if (wav && n > 0) wav->Write(std::span<const int16_t>(blok.data(), n * ch));
                okno.advanceGauge(static_cast<int64_t>(audiolib::kBlockBytes));
            }
            if (wav) wav->Commit();
        }
    }
    okno.setAction("Konwersja pliku " + nazwa + " zakończona!");
    okno.processMessages();
}

}  // namespace tolvak
