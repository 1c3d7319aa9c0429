#include "schedule/Matryca.h"

#include <stdexcept>

#include "app/Konfiguracja.h"
#include "platform/Ini.h"

namespace tolvak {

Matryca::Matryca(std::filesystem::path ini) : ini_(std::move(ini)) {}

int Matryca::Indeks(int dzien, int godzina) {
    if (dzien < PierwszyDzien || dzien > OstatniDzien || godzina < PierwszaGodzina ||
        godzina > OstatniaGodzina)
        return -1;
    return (dzien - 1) * LiczbaGodzin + (godzina - PierwszaGodzina);
}

std::string Matryca::NazwaKomorki(int dzien, int godzina) {
    return "mshape" + std::to_string(dzien) + std::to_string(godzina);
}

int Matryca::TagKomorki(int dzien, int godzina) {
    return std::stoi(std::to_string(dzien) + std::to_string(godzina));
}

std::string Matryca::KluczKomorki(int tag) { return "d" + std::to_string(tag); }

void Matryca::Wczytaj() {
    const IniFile f(ini_);
    std::array<bool, LiczbaKomorek> stan{};
    for (int d = PierwszyDzien; d <= OstatniDzien; ++d)
        for (int h = PierwszaGodzina; h <= OstatniaGodzina; ++h)
            stan[static_cast<std::size_t>(Indeks(d, h))] =
                f.ReadBool(sekcja::Matryca, KluczKomorki(TagKomorki(d, h)), false);
    std::lock_guard lock(mutex_);
    chciana_ = stan;
}

bool Matryca::ZmienStatusGodziny(int tag) {
    // The day is the first digit of the tag, the hour the rest.
    const std::string digits = std::to_string(tag);
    const int d = digits.size() >= 2 ? digits[0] - '0' : 0;
    const int h = digits.size() >= 2 ? std::stoi(digits.substr(1)) : 0;
    const int i = Indeks(d, h);
    if (i < 0 || TagKomorki(d, h) != tag) throw std::out_of_range("No hour matrix cell with tag " + digits);

    bool teraz;
    {
        std::lock_guard lock(mutex_);
        auto& cell = chciana_[static_cast<std::size_t>(i)];
        cell = !cell;
        teraz = cell;
    }
    IniFile(ini_).WriteBool(sekcja::Matryca, KluczKomorki(tag), teraz);
    return teraz;
}

std::optional<Matryca::Komorka> Matryca::KomorkaDla(int dzien, int godzina) const {
    const int i = Indeks(dzien, godzina);
    if (i < 0) return std::nullopt;
    Komorka k;
    k.dzien = dzien;
    k.godzina = godzina;
    k.nazwa = NazwaKomorki(dzien, godzina);
    k.tag = TagKomorki(dzien, godzina);
    std::lock_guard lock(mutex_);
    k.chciana = chciana_[static_cast<std::size_t>(i)];
    return k;
}

std::optional<Matryca::Komorka> Matryca::ZnajdzKomorke(std::string_view nazwa) const {
    constexpr std::string_view prefix = "mshape";
    if (!nazwa.starts_with(prefix)) return std::nullopt;
    const std::string_view rest = nazwa.substr(prefix.size());
    // One digit of day, then the hour in decimal without leading zeros.
    if (rest.size() < 2 || rest.size() > 3) return std::nullopt;
    for (char c : rest)
        if (c < '0' || c > '9') return std::nullopt;
    if (rest[1] == '0') return std::nullopt;
    const int d = rest[0] - '0';
    const int h = std::stoi(std::string(rest.substr(1)));
    return KomorkaDla(d, h);
}

bool Matryca::CzyChciana(std::string_view nazwa) const {
    const auto k = ZnajdzKomorke(nazwa);
    return k && k->chciana;
}

}  // namespace tolvak
