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
        if (!ok) ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // ready for the next piece
        return ok;
    }

    /// The whole input, each invalid sequence replaced by `zamiennik` and `krok` bytes skipped.
    std::string Zamien(std::string_view wejscie, std::string_view zamiennik, std::size_t krok) {
        std::string wynik;
        wynik.reserve(wejscie.size());
        while (!Konwertuj(wejscie, wynik)) {
            wynik += zamiennik;
            wejscie.remove_prefix(std::min(krok, wejscie.size()));
        }
        return wynik;
    }

    bool Poprawny(std::string_view wejscie) {
        std::string wyjscie;
        return Konwertuj(wejscie, wyjscie);
    }

private:
    iconv_t cd_;
};

// A mixed file: each line (with its line end) that is valid UTF-8 stays, the others are
// Windows-1250.
std::string Windows1250PoLiniach(std::string_view bajty) {
    Konwerter utf8("UTF-8", "UTF-16LE");
    Konwerter cp1250("WINDOWS-1250", "UTF-8");
    std::string wynik;
    wynik.reserve(bajty.size() + bajty.size() / 8);
    while (!bajty.empty()) {
        const auto nl = bajty.find('\n');
        const std::size_t dlugosc = nl == std::string_view::npos ? bajty.size() : nl + 1;
        const std::string_view linia = bajty.substr(0, dlugosc);
        const bool ascii = std::all_of(linia.begin(), linia.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii || utf8.Poprawny(linia))
            wynik += linia;
        else
            wynik += cp1250.Zamien(linia, kZamiennikUtf8, 1);
        bajty.remove_prefix(dlugosc);
    }
    return wynik;
}

}  // namespace

std::string KonwertujKodowanie(std::string_view bajty, const char* z, const char* na,
                               std::string_view zamiennik, std::size_t krokBledu) {
    return Konwerter(z, na).Zamien(bajty, zamiennik, krokBledu);
}

namespace {

/// The byte length of the well-formed UTF-8 character at `i`, or 0 when the byte there does not
/// start one.
std::size_t ZnakUtf8(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char c = b(0);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned char min = 0x80, max = 0xBF;  // the allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) min = 0xA0;        // overlong
        else if (c == 0xED) max = 0x9F;   // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) min = 0x90;        // overlong
        else if (c == 0xF4) max = 0x8F;   // above U+10FFFF
    } else
        return 0;
    if (i + n > s.size()) return 0;
    if (b(1) < min || b(1) > max) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((b(k) & 0xC0) != 0x80) return 0;
    return n;
}

}  // namespace

std::string JakoUtf8(std::string_view bajty) {
    std::string w;
    w.reserve(bajty.size());
    for (std::size_t i = 0; i < bajty.size();) {
        const std::size_t n = ZnakUtf8(bajty, i);
        if (n > 0) {
            w.append(bajty.substr(i, n));
            i += n;
            continue;
        }
        static constexpr char kHex[] = "0123456789ABCDEF";
        const auto c = static_cast<unsigned char>(bajty[i++]);
        w += "\\x";
        w += kHex[c >> 4];
        w += kHex[c & 0xF];
    }
    return w;
}

std::size_t DlugoscDoGranicy(std::string_view tekst, std::size_t maks) {
    if (tekst.size() <= maks) return tekst.size();
    std::size_t n = maks;
    // Back over continuation bytes to the start of the character that the cut would split.
    while (n > 0 && (static_cast<unsigned char>(tekst[n]) & 0xC0) == 0x80) --n;
    return n;
}

bool JestUtf8(std::string_view bajty) {
    // ASCII is UTF-8 as it stands: only the rest from the first byte above 0x7F needs iconv.
    const auto i = std::find_if(bajty.begin(), bajty.end(),
                                [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (i == bajty.end()) return true;
    return Konwerter("UTF-8", "UTF-16LE").Poprawny(bajty.substr(i - bajty.begin()));
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
        case Kodowanie::Utf8:
            break;
        case Kodowanie::Utf8ZBom:
            return std::string(kBomUtf8) + std::string(tekst);
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
    return Konwerter("UTF-8", "WINDOWS-1250").Poprawny(tekst);
}

}  // namespace tolvak
