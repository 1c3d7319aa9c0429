#include "production/Sponsorzy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "app/Konfiguracja.h"
#include "platform/Ini.h"
#include "platform/PlikiTymczasowe.h"
#include "production/Rodzaje.h"

namespace tolvak {

namespace {

struct Zamknij {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using Plik = std::unique_ptr<std::FILE, Zamknij>;

std::runtime_error blad(const char* co, const std::string& sciezka, int err) {
    return std::runtime_error(std::string(co) + " " + sciezka + ": " + std::strerror(err));
}

constexpr long kNaglowek = 44;

void kopiujOd(std::FILE* z, std::FILE* out, long od, const std::string& nazwa,
              const std::string& wyjscie) {
    if (std::fseek(z, od, SEEK_SET) != 0) throw blad("Nie można odczytać pliku", nazwa, errno);
    std::array<char, 65536> bufor{};
    for (;;) {
        const size_t n = std::fread(bufor.data(), 1, bufor.size(), z);
        if (n > 0 && std::fwrite(bufor.data(), 1, n, out) != n)
            throw blad("Nie można zapisać pliku", wyjscie, errno);
        if (n < bufor.size()) {
            if (std::ferror(z)) throw blad("Nie można odczytać pliku", nazwa, errno);
            break;
        }
    }
}

void zapiszLE32(std::FILE* out, long offset, uint32_t v, const std::string& wyjscie) {
    const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 24)};
    if (std::fseek(out, offset, SEEK_SET) != 0 || std::fwrite(b, 1, 4, out) != 4)
        throw blad("Nie można zapisać pliku", wyjscie, errno);
}

}  // namespace

void JoinWaves(const std::vector<std::string>& FileList, const std::string& OutputFile) {
    // A link planted at the work file's name is removed, never written through.
    const int fd = UtworzPlikRoboczy(OutputFile);
    Plik out(::fdopen(fd, "w+b"));
    if (!out) {
        const int err = errno;
        ::close(fd);
        throw blad("Nie można utworzyć pliku", OutputFile, err);
    }
    bool pierwszy = true;
    for (const std::string& nazwa : FileList) {
        if (!IstniejePlik(nazwa)) continue;
        Plik z(std::fopen(nazwa.c_str(), "rb"));
        if (!z) throw blad("Nie można otworzyć pliku", nazwa, errno);
        if (pierwszy) {
            kopiujOd(z.get(), out.get(), 0, nazwa, OutputFile);
            pierwszy = false;
        } else {
            struct stat st{};
            if (::fstat(fileno(z.get()), &st) != 0)
                throw blad("Nie można odczytać pliku", nazwa, errno);
            if (st.st_size > kNaglowek) kopiujOd(z.get(), out.get(), kNaglowek, nazwa, OutputFile);
        }
    }
    if (std::fflush(out.get()) != 0) throw blad("Nie można zapisać pliku", OutputFile, errno);
    if (std::fseek(out.get(), 0, SEEK_END) != 0)
        throw blad("Nie można zapisać pliku", OutputFile, errno);
    const long rozmiar = std::ftell(out.get());
    // A file shorter than the header has no size fields to set.
    if (rozmiar >= kNaglowek) {
        zapiszLE32(out.get(), 4, static_cast<uint32_t>(rozmiar - 8), OutputFile);
        zapiszLE32(out.get(), 40, static_cast<uint32_t>(rozmiar - kNaglowek), OutputFile);
    }
    std::FILE* f = out.release();
    if (std::fclose(f) != 0) throw blad("Nie można zapisać pliku", OutputFile, errno);
}

bool CzySponsorUzyteczny(const std::string& wartosc) {
    if (wartosc.empty() || !IstniejePlik(wartosc)) return false;
    std::string ext = RozszerzenieZrodla(wartosc);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".wav";
}

bool DodajSponsorow(const std::filesystem::path& ini, const std::string& tvtemp,
                    const std::string& tvtemp2) {
    IniFile plik(ini);
    std::vector<std::string> lista;
    auto klucz = [&](std::string_view nazwa) {
        const std::string wartosc = plik.ReadString(sekcja::PogodaSponsorzy, nazwa, "");
        if (CzySponsorUzyteczny(wartosc)) lista.push_back(wartosc);
        plik.WriteString(sekcja::PogodaSponsorzy, nazwa, wartosc);
    };
    klucz("Sponsor1Przed");
    klucz("Sponsor2Przed");
    klucz("Sponsor3Przed");
    lista.push_back(tvtemp);
    klucz("Sponsor1Po");
    klucz("Sponsor2Po");
    klucz("Sponsor3Po");
    if (lista.size() <= 1) return false;
    JoinWaves(lista, tvtemp2);
    std::filesystem::rename(tvtemp2, tvtemp);
    return true;
}

}  // namespace tolvak
