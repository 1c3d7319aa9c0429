#include "audio/Dekoder.h"

#include <filesystem>
#include <vector>

#include "audio/DecodeStream.h"
#include "audio/WavFileWriter.h"

namespace tolvak {

void mp3ToWav(const std::string& wejscie, const std::string& wyjscie, Okno& okno) {
    const std::string nazwa = std::filesystem::path(wejscie).filename().string();
    okno.setAction("Konwersja pliku " + nazwa + "...");
    okno.processMessages();
    // The file streams through a fixed buffer; a read error raises after the decode, and the
    // partial output is then discarded.
    if (auto stream = audiolib::OpenDecoder(wejscie)) {
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
        stream->CheckRead();
        if (wav) wav->Commit();
    }
    okno.setAction("Konwersja pliku " + nazwa + " zakończona!");
    okno.processMessages();
}

}  // namespace tolvak
