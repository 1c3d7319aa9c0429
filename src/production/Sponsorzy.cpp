#include "production/Sponsorzy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>

#include "app/Konfiguracja.h"
#include "audio/Dekoder.h"
#include "audio/WavChunks.h"
#include "platform/Bledy.h"
#include "platform/Ini.h"
#include "platform/PlikiTymczasowe.h"
#include "production/Rodzaje.h"

namespace tolvak {

namespace {

struct Zamknij {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using Plik = std::unique_ptr<std::FILE, Zamknij>;

using Op = OperacjaNaPliku;

int bladLubEio() { return errno != 0 ? errno : EIO; }

/// The layout of the open file `z` (named `nazwa`).
std::optional<audiolib::WavLayout> uklad(std::FILE* z, const std::string& nazwa) {
    struct stat st {};
    if (::fstat(fileno(z), &st) != 0) ZglosBladPliku(Op::Odczyt, nazwa, errno);
    int blad = 0;
    auto wynik = audiolib::ParseWavLayout(
        [&](int64_t od, void* do_, int64_t ile) -> int64_t {
            const ssize_t n = ::pread(fileno(z), do_, static_cast<size_t>(ile), static_cast<off_t>(od));
            if (n < 0) blad = errno;
            return n < 0 ? 0 : n;
        },
        st.st_size);
    if (blad != 0) ZglosBladPliku(Op::Odczyt, nazwa, blad);
    return wynik;
}

void kopiuj(std::FILE* z, std::FILE* out, int64_t od, int64_t ile, const std::string& nazwa,
            const std::string& wyjscie) {
    if (std::fseek(z, static_cast<long>(od), SEEK_SET) != 0) ZglosBladPliku(Op::Odczyt, nazwa, errno);
    std::array<char, 65536> bufor{};
    while (ile > 0) {
        const size_t chce = static_cast<size_t>(std::min<int64_t>(ile, bufor.size()));
        errno = 0;
        const size_t n = std::fread(bufor.data(), 1, chce, z);
        if (n < chce && std::ferror(z)) ZglosBladPliku(Op::Odczyt, nazwa, bladLubEio());
        errno = 0;
        if (n > 0 && std::fwrite(bufor.data(), 1, n, out) != n)
            ZglosBladPliku(Op::Zapis, wyjscie, bladLubEio());
        if (n < chce) break;  // the file ended early
        ile -= static_cast<int64_t>(n);
    }
}

}  // namespace

void JoinWaves(const std::vector<std::string>& FileList, const std::string& OutputFile) {
    // A link planted at the work file's name is removed, never written through.
    const int fd = UtworzPlikRoboczy(OutputFile);
    Plik out(::fdopen(fd, "w+b"));
    if (!out) {
        const int err = errno;
        ::close(fd);
        ZglosBladPliku(Op::Utworzenie, OutputFile, err);
    }
    // The header is written last, when the format and the size are known.
    const std::vector<unsigned char> miejsce(44, 0);
    if (std::fwrite(miejsce.data(), 1, miejsce.size(), out.get()) != miejsce.size())
        ZglosBladPliku(Op::Zapis, OutputFile, bladLubEio());
    std::optional<audiolib::WavLayout> format;
    std::string pierwszy;
    int64_t dane = 0;
    for (const std::string& nazwa : FileList) {
        if (!IstniejePlik(nazwa)) continue;
        Plik z(std::fopen(nazwa.c_str(), "rb"));
        if (!z) ZglosBladPliku(Op::Otwarcie, nazwa, errno);
        const auto u = uklad(z.get(), nazwa);
        if (!u || u->FormatTag != audiolib::kWavePcm || u->Channels == 0 || u->BitsPerSample % 8 != 0 ||
            u->BitsPerSample == 0)
            throw BrakDzwieku(nazwa);
        if (!format) {
            format = u;
            pierwszy = nazwa;
        } else if (u->Channels != format->Channels || u->SampleRate != format->SampleRate ||
                   u->BitsPerSample != format->BitsPerSample) {
            throw std::runtime_error("Plik " + nazwa + " ma inny format dźwięku niż " + pierwszy);
        }
        // Whole frames only, so that the channels of the later files stay in step.
        const int64_t ramka = static_cast<int64_t>(u->Channels) * (u->BitsPerSample / 8);
        const int64_t ile = u->DataBytes - u->DataBytes % ramka;
        kopiuj(z.get(), out.get(), u->DataOffset, ile, nazwa, OutputFile);
        dane += ile;
    }
    errno = 0;
    if (std::fflush(out.get()) != 0) ZglosBladPliku(Op::Zapis, OutputFile, bladLubEio());
    if (!format) {
        if (::ftruncate(fileno(out.get()), 0) != 0) ZglosBladPliku(Op::Zapis, OutputFile, errno);
    } else {
        const auto naglowek = audiolib::PlainWavHeader(static_cast<int>(format->SampleRate), format->Channels,
                                                       format->BitsPerSample, static_cast<uint32_t>(dane));
        errno = 0;
        if (std::fseek(out.get(), 0, SEEK_SET) != 0 ||
            std::fwrite(naglowek.data(), 1, naglowek.size(), out.get()) != naglowek.size())
            ZglosBladPliku(Op::Zapis, OutputFile, bladLubEio());
    }
    errno = 0;
    if (std::fclose(out.release()) != 0) ZglosBladPliku(Op::Zapis, OutputFile, bladLubEio());
}

bool CzySponsorUzyteczny(const std::string& wartosc) {
    if (wartosc.empty() || !IstniejePlik(wartosc)) return false;
    std::string ext = RozszerzenieZrodla(wartosc);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".wav";
}

bool DodajSponsorow(const std::filesystem::path& ini, const std::string& tvtemp,
                    const std::string& tvtemp2, Okno& okno,
                    const std::function<void(const std::string&)>& log) {
    static constexpr std::string_view kKlucze[6] = {"Sponsor1Przed", "Sponsor2Przed", "Sponsor3Przed",
                                                    "Sponsor1Po",    "Sponsor2Po",    "Sponsor3Po"};
    std::array<std::string, 6> sponsorzy;
    {
        IniFile plik(ini);
        for (std::size_t i = 0; i < 6; ++i) {
            const std::string wartosc = plik.ReadString(sekcja::PogodaSponsorzy, kKlucze[i], "");
            if (CzySponsorUzyteczny(wartosc)) sponsorzy[i] = wartosc;
            plik.WriteString(sekcja::PogodaSponsorzy, kKlucze[i], wartosc);
        }
    }
    if (std::all_of(sponsorzy.begin(), sponsorzy.end(), [](const std::string& s) { return s.empty(); }))
        return false;

    const auto biuletyn = audiolib::ReadWavLayout(tvtemp);
    if (!biuletyn || !biuletyn->IsPcm16()) throw BrakDzwieku(tvtemp);
    const audiolib::PcmFormat format{static_cast<int>(biuletyn->SampleRate), biuletyn->Channels};
    const std::filesystem::path folder = std::filesystem::path(tvtemp).parent_path();

    std::vector<std::string> lista, robocze;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i == 3) lista.push_back(tvtemp);
        const std::string& sponsor = sponsorzy[i];
        if (sponsor.empty()) continue;
        try {
            const auto u = audiolib::ReadWavLayout(sponsor);
            if (u && u->IsPcm16() && static_cast<int>(u->SampleRate) == format.SampleRate &&
                u->Channels == format.Channels) {
                lista.push_back(sponsor);
                continue;
            }
            const std::string roboczy = (folder / kTvSponsor[i]).string();
            if (!mp3ToWav(sponsor, roboczy, okno, format)) {
                log("AkcjaSerwis: Pominięto sponsora " + sponsor + ": nie zawiera dźwięku");
                continue;
            }
            lista.push_back(roboczy);
            robocze.push_back(roboczy);
        } catch (const EFOpenError& e) {
            log("AkcjaSerwis: Pominięto sponsora " + sponsor + ": " + e.code().message());
        }
    }
    if (lista.size() <= 1) return false;
    JoinWaves(lista, tvtemp2);
    PrzeniesPlik(tvtemp2, tvtemp);
    for (const std::string& r : robocze) std::remove(r.c_str());
    return true;
}

}  // namespace tolvak
