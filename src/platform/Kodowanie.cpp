#include "platform/Kodowanie.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace tolvak {

namespace {

constexpr std::string_view kBomUtf8 = "\xEF\xBB\xBF";
constexpr std::string_view kBomUtf16LE = "\xFF\xFE";
constexpr std::string_view kBomUtf16BE = "\xFE\xFF";
constexpr std::string_view kZamiennikUtf8 = "\xEF\xBF\xBD";  // U+FFFD

class Konwerter {
public:
    Konwerter(const char* z, const char* na) : cd_(::iconv_open(na, z)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("Brak konwersji znaków z ") + z + " na " + na);
    }
    ~Konwerter() { ::iconv_close(cd_); }
    Konwerter(const Konwerter&) = delete;
    Konwerter& operator=(const Konwerter&) = delete;

    /// Returns false at the first invalid or incomplete sequence, with `wejscie` left at it.
    bool Konwertuj(std::string_view& wejscie, std::string& wyjscie) {
        char* in = const_cast<char*>(wejscie.data());
        std::size_t inLeft = wejscie.size();
        bool ok = true;
        while (inLeft > 0) {
            const std::size_t przed = wyjscie.size();
            wyjscie.resize(przed + inLeft * 4 + 16);
            char* out = wyjscie.data() + przed;
            std::size_t outLeft = wyjscie.size() - przed;
            const std::size_t r = ::iconv(cd_, &in, &inLeft, &out, &outLeft);
            const int err = errno;
            wyjscie.resize(wyjscie.size() - outLeft);
            if (r != static_cast<std::size_t>(-1)) break;
            if (err == E2BIG) continue;
            ok = false;  // EILSEQ or EINVAL
            break;
        }
        wejscie = std::string_view(in, inLeft);
        return ok;
    }

private:
    iconv_t cd_;
};

// A mixed file: each line (with its line end) that is valid UTF-8 stays, the others are
// Windows-1250.
std::string Windows1250PoLiniach(std::string_view bajty) {
    std::string wynik;
    wynik.reserve(bajty.size() + bajty.size() / 8);
    while (!bajty.empty()) {
        const auto nl = bajty.find('\n');
        const std::size_t dlugosc = nl == std::string_view::npos ? bajty.size() : nl + 1;
        const std::string_view linia = bajty.substr(0, dlugosc);
        if (JestUtf8(linia))
            wynik += linia;
        else
            wynik += KonwertujKodowanie(linia, "WINDOWS-1250", "UTF-8", kZamiennikUtf8);
        bajty.remove_prefix(dlugosc);
    }
    return wynik;
}

}  // namespace

std::string KonwertujKodowanie(std::string_view bajty, const char* z, const char* na,
                               std::string_view zamiennik, std::size_t krokBledu) {
    Konwerter k(z, na);
    std::string wynik;
    wynik.reserve(bajty.size());
    while (!k.Konwertuj(bajty, wynik)) {
        wynik += zamiennik;
        bajty.remove_prefix(std::min(krokBledu, bajty.size()));
    }
    return wynik;
}

bool JestUtf8(std::string_view bajty) {
    // Only the first byte above 0x7F needs iconv: ASCII is UTF-8 as it stands.
    std::size_t i = 0;
    while (i < bajty.size() && static_cast<unsigned char>(bajty[i]) < 0x80) ++i;
    if (i == bajty.size()) return true;
    bajty.remove_prefix(i);
    Konwerter k("UTF-8", "UTF-16LE");
    std::string wyjscie;
    return k.Konwertuj(bajty, wyjscie);
}

TekstPliku OdczytajTekst(std::string_view bajty) {
    if (bajty.starts_with(kBomUtf8))
        return {std::string(bajty.substr(kBomUtf8.size())), Kodowanie::Utf8ZBom};
    if (bajty.starts_with(kBomUtf16LE))
        return {KonwertujKodowanie(bajty.substr(2), "UTF-16LE", "UTF-8", kZamiennikUtf8, 2),
                Kodowanie::Utf16LE};
    if (bajty.starts_with(kBomUtf16BE))
        return {KonwertujKodowanie(bajty.substr(2), "UTF-16BE", "UTF-8", kZamiennikUtf8, 2),
                Kodowanie::Utf16BE};
    if (JestUtf8(bajty)) return {std::string(bajty), Kodowanie::Utf8};
    return {Windows1250PoLiniach(bajty), Kodowanie::Windows1250};
}

std::string ZapiszTekst(std::string_view tekst, Kodowanie kodowanie) {
    switch (kodowanie) {
    case Kodowanie::Utf8: break;
    case Kodowanie::Utf8ZBom: return std::string(kBomUtf8) + std::string(tekst);
    case Kodowanie::Utf16LE:
        return std::string(kBomUtf16LE) +
               KonwertujKodowanie(tekst, "UTF-8", "UTF-16LE", std::string_view("\xFD\xFF", 2));
    case Kodowanie::Utf16BE:
        return std::string(kBomUtf16BE) +
               KonwertujKodowanie(tekst, "UTF-8", "UTF-16BE", std::string_view("\xFF\xFD", 2));
    case Kodowanie::Windows1250:
        return KonwertujKodowanie(tekst, "UTF-8", "WINDOWS-1250//TRANSLIT", "?");
    }
    return std::string(tekst);
}

bool MiesciSieWWindows1250(std::string_view tekst) {
    Konwerter k("UTF-8", "WINDOWS-1250");
    std::string wyjscie;
    return k.Konwertuj(tekst, wyjscie);
}

}  // namespace tolvak
