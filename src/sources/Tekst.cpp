#include "sources/Tekst.h"

#include <algorithm>

namespace tolvak {

namespace {

bool Kontynuacja(unsigned char c) { return (c & 0xC0) == 0x80; }

/// Byte length of the character that starts at `i`.
std::size_t DlugoscZnaku(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    if (i + n > s.size()) return 1;
    for (std::size_t k = 1; k < n; ++k)
        if (!Kontynuacja(static_cast<unsigned char>(s[i + k]))) return 1;
    return n;
}

char Mala(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string Przytnij(std::string_view s) {
    constexpr std::string_view biale = " \t\r\n\v\f";
    const auto b = s.find_first_not_of(biale);
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(biale);
    return std::string(s.substr(b, e - b + 1));
}

std::string OstatnieZnaki(std::string_view s, std::size_t n) {
    // Character starts, counted from the front so that invalid bytes count like ZnakiOd does.
    std::size_t liczba = 0;
    for (std::size_t i = 0; i < s.size(); i += DlugoscZnaku(s, i)) ++liczba;
    if (liczba <= n) return std::string(s);
    std::size_t i = 0;
    for (std::size_t pominiete = 0; pominiete < liczba - n; ++pominiete) i += DlugoscZnaku(s, i);
    return std::string(s.substr(i));
}

std::string ZnakiOd(std::string_view s, std::size_t od, std::size_t n) {
    if (od >= s.size()) return {};
    std::size_t i = od;
    for (std::size_t k = 0; k < n && i < s.size(); ++k) i += DlugoscZnaku(s, i);
    return std::string(s.substr(od, i - od));
}

std::string MaleLitery(std::string_view s) {
    std::string w(s);
    std::transform(w.begin(), w.end(), w.begin(), Mala);
    return w;
}

bool RowneBezWielkosci(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Mala(x) == Mala(y);
           });
}

}  // namespace tolvak
