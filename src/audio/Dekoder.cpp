#include "audio/Dekoder.h"

#include <filesystem>
#include <vector>

#include "audio/ConvertStream.h"
#include "audio/WavFileWriter.h"

namespace tolvak {

std::optional<audiolib::PcmFormat> mp3ToWav(const std::string& wejscie, const std::string& wyjscie,
                                            Okno& okno, std::optional<audiolib::PcmFormat> format) {
    const std::string nazwa = std::filesystem::path(wejscie).filename().string();
    okno.setAction("Konwersja pliku " + nazwa + "...");
    okno.processMessages();
    // The file streams through a fixed buffer; a read error raises after the decode, and the
    // partial output is then discarded.
    auto stream = audiolib::OpenDecoder(wejscie);
    if (stream && format) stream = audiolib::ConvertTo(std::move(stream), *format);
    std::optional<audiolib::PcmFormat> zapisany;
    if (stream) {
        okno.setGaugeMax(stream->Length());
        // Nothing reaches `wyjscie` unless the whole decode was written.
        auto wav = audiolib::WavFileWriter::Create(wyjscie, stream->SampleRate(),
                                                   stream->Channels());
        const std::size_t ch = static_cast<std::size_t>(stream->Channels());
        const std::size_t frames = std::max<std::size_t>(1, audiolib::kBlockBytes / (2 * ch));
        std::vector<int16_t> blok(frames * ch);
        while (stream->Active()) {
            const std::size_t n = stream->Read(std::span<int16_t>(blok));
            if (n > 0) wav->Write(std::span<const int16_t>(blok.data(), n * ch));
            okno.advanceGauge(static_cast<int64_t>(audiolib::kBlockBytes));
        }
        stream->CheckRead();
        wav->Commit();
        zapisany = stream->Format();
    }
    okno.setAction("Konwersja pliku " + nazwa + " zakończona!");
    okno.processMessages();
    return zapisany;
}

std::optional<audiolib::PcmFormat> FormatDzwieku(const std::string& plik) {
    const auto stream = audiolib::OpenDecoder(plik);
    if (!stream) return std::nullopt;
    return stream->Format();
}

std::runtime_error BrakDzwieku(const std::string& plik) {
    return std::runtime_error("Plik " + plik + " nie zawiera dźwięku");
}

}  // namespace tolvak
