#include "production/Weryfikacja.h"

#include <cstdlib>
#include <exception>
#include <vector>

#include "audio/DecodeStream.h"
#include "audio/WaveIn.h"

namespace tolvak {

int64_t RamkiZmontowane(const std::string& wav) {
    try {
        TWaveIn w;
        w.SetFileName(wav);
        const int64_t n = w.TotalSamples();
        w.Flush();
        return n;
    } catch (const std::exception&) {
        return 0;
    }
}

std::string UsterkaGotowego(const std::string& plik, int64_t oczekiwaneRamki, bool mp3) {
    int64_t ramki = 0;
    int maks = 0;
    try {
        const auto zrodlo = audiolib::OpenDecoder(plik);
        if (!zrodlo) return "plik nie daje się zdekodować";
        const auto ch = static_cast<std::size_t>(zrodlo->Channels());
        std::vector<int16_t> blok(8192 * ch);
        while (zrodlo->Active()) {
            const std::size_t n = zrodlo->Read(std::span<int16_t>(blok));
            ramki += static_cast<int64_t>(n);
            for (std::size_t i = 0; i < n * ch && maks <= 1; ++i) maks = std::max(maks, std::abs(int{blok[i]}));
        }
        zrodlo->CheckRead();
    } catch (const std::exception& e) {
        return std::string("błąd odczytu: ") + e.what();
    }
    const int64_t tolerancja = mp3 ? kTolerancjaMp3 : 0;
    if (ramki + tolerancja < oczekiwaneRamki || (!mp3 && ramki < oczekiwaneRamki))
        return "za krótki: zdekodowano " + std::to_string(ramki) + " z " +
               std::to_string(oczekiwaneRamki) + " ramek";
    if (ramki > oczekiwaneRamki + tolerancja)
        return "za długi: zdekodowano " + std::to_string(ramki) + " ramek zamiast " +
               std::to_string(oczekiwaneRamki);
    // A level of one step either way is what rounding leaves of silence.
    if (maks <= 1) return "cisza cyfrowa na całej długości";
    return {};
}

}  // namespace tolvak
