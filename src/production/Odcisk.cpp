#include "production/Odcisk.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

#include "app/Log.h"
#include "audio/DecodeStream.h"
#include "platform/Ini.h"
#include "platform/Regional.h"
#include "schedule/StanPobran.h"

namespace tolvak {

namespace {

struct ZwolnijSkrot {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

}  // namespace

std::optional<ObrazSerwisu> ObejrzyjSerwis(const std::string& wav) {
    std::error_code ec;
    if (!std::filesystem::exists(wav, ec)) return std::nullopt;
    const auto zrodlo = audiolib::OpenDecoder(wav);
    if (!zrodlo) return std::nullopt;
    std::unique_ptr<EVP_MD_CTX, ZwolnijSkrot> skrot(EVP_MD_CTX_new());
    if (!skrot || EVP_DigestInit_ex(skrot.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 niedostępny");
    ObrazSerwisu o;
    o.rate = zrodlo->SampleRate();
    // The format belongs to the fingerprint: the same samples at another rate are another sound.
    const std::string format = std::to_string(o.rate) + "/" + std::to_string(zrodlo->Channels()) + ":";
    EVP_DigestUpdate(skrot.get(), format.data(), format.size());
    const auto ch = static_cast<std::size_t>(zrodlo->Channels());
    std::vector<int16_t> blok(8192 * ch);
    std::vector<unsigned char> bajty(blok.size() * 2);
    while (zrodlo->Active()) {
        const std::size_t n = zrodlo->Read(std::span<int16_t>(blok)) * ch;
        // Little-endian whatever the machine, so a moved state file keeps matching.
        for (std::size_t i = 0; i < n; ++i) {
            const auto v = static_cast<uint16_t>(blok[i]);
            bajty[2 * i] = static_cast<unsigned char>(v & 0xFF);
            bajty[2 * i + 1] = static_cast<unsigned char>(v >> 8);
        }
        EVP_DigestUpdate(skrot.get(), bajty.data(), 2 * n);
        o.ramki += static_cast<int64_t>(n / ch);
    }
    zrodlo->CheckRead();
    unsigned char wynik[EVP_MAX_MD_SIZE];
    unsigned int dlugosc = 0;
    EVP_DigestFinal_ex(skrot.get(), wynik, &dlugosc);
    char hex[3];
    for (unsigned int i = 0; i < dlugosc; ++i) {
        std::snprintf(hex, sizeof hex, "%02x", wynik[i]);
        o.odcisk += hex;
    }
    return o;
}

std::string KluczOstOdcisk(std::string_view rodzaj) { return "OstOdcisk" + std::string(rodzaj); }

std::string KluczOstOdciski(std::string_view rodzaj) { return "OstOdciski" + std::string(rodzaj); }

namespace {

constexpr int64_t kDobaSekund = 24 * 3600;
constexpr std::size_t kMaksOdciskow = 64;

struct WpisOdcisku {
    int64_t chwila = 0;  // LocalTime::serial of the delivery
    std::string odcisk;
};

std::vector<WpisOdcisku> CzytajOdciski(const std::string& tekst) {
    std::vector<WpisOdcisku> wpisy;
    std::size_t p = 0;
    while (p < tekst.size()) {
        std::size_t k = tekst.find(',', p);
        if (k == std::string::npos) k = tekst.size();
        const std::string wpis = tekst.substr(p, k - p);
        p = k + 1;
        LocalTime t;
        const auto dwukropek = wpis.find(':');
        if (dwukropek != 14 ||
            std::sscanf(wpis.c_str(), "%4d%2d%2d%2d%2d%2d", &t.year, &t.month, &t.day, &t.hour,
                        &t.minute, &t.second) != 6)
            continue;  // a damaged entry is dropped, not a reason to lose the others
        wpisy.push_back({t.serial(), wpis.substr(dwukropek + 1)});
    }
    return wpisy;
}

/// Within 24 hours before `teraz`; an entry ahead of the clock (set back since) counts too,
/// up to a day, so that stepping the clock back never makes an old bulletin new.
bool wDobie(const WpisOdcisku& w, const LocalTime& teraz) {
    const int64_t roznica = teraz.serial() - w.chwila;
    return roznica < kDobaSekund && roznica > -kDobaSekund;
}

}  // namespace

std::vector<std::string> OstatnieOdciski(const std::filesystem::path& dat, std::string_view rodzaj,
                                         const LocalTime& teraz) {
    std::vector<std::string> wynik;
    try {
        for (const WpisOdcisku& w : CzytajOdciski(IniFile(dat).ReadString(SekcjaPobrany, KluczOstOdciski(rodzaj), "")))
            if (wDobie(w, teraz)) wynik.push_back(w.odcisk);
    } catch (const std::exception&) {
        wynik.clear();
    }
    return wynik;
}

Przyjecie PrzyjmijOdcisk(const std::string& odcisk, const std::filesystem::path& dat,
                         std::string_view rodzaj, const OkolicznosciPrzyjecia& o, Log& log) {
    std::string poprzedni, tymczasowy;
    try {
        const IniFile stan(dat);
        poprzedni = stan.ReadString(SekcjaPobrany, KluczOstOdcisk(rodzaj), "");
        tymczasowy = stan.ReadString(SekcjaPobrany, KluczOstTymczasowy(rodzaj), "");
    } catch (const std::exception&) {
    }
    const std::vector<std::string> ostatnie = OstatnieOdciski(dat, rodzaj, o.teraz);
    const bool jakOstatni = !poprzedni.empty() && poprzedni == odcisk;
    if (!jakOstatni && std::find(ostatnie.begin(), ostatnie.end(), odcisk) == ostatnie.end())
        return Przyjecie::Przyjmij;
    log.DodajDoLoga(jakOstatni ? "AkcjaSerwis: Ten sam serwis co poprzednio."
                               : "AkcjaSerwis: Ten sam serwis co nadany w ciągu ostatnich 24 godzin.");
    if (o.odrzucPowtorzony) return Przyjecie::Odrzuc;
    if (o.tryb == TrybAkcji::Interwencja) {
        log.DodajDoLoga("Interwencyjne pobranie przerwane - serwis nieaktualny: ten sam serwis "
                        "nadano już w ciągu ostatnich 24 godzin");
        return Przyjecie::Odrzuc;
    }
    // One repeat on air for the hour is enough; only a different bulletin replaces it.
    if (o.tryb == TrybAkcji::Cykl && !o.stempel.empty() && tymczasowy == o.stempel) return Przyjecie::Odrzuc;
    return Przyjecie::Tymczasowo;
}

Przyjecie PrzyjmijPobrany(const std::string& tvvoice, const std::filesystem::path& dat,
                          std::string_view rodzaj, const OkolicznosciPrzyjecia& o, Log& log,
                          std::string& odcisk, bool* powtorzony) {
    odcisk.clear();
    if (powtorzony) *powtorzony = false;
    std::optional<ObrazSerwisu> obraz;
    try {
        obraz = ObejrzyjSerwis(tvvoice);
    } catch (const std::exception&) {
        obraz.reset();  // unreadable counts as not there: the next cycle fetches again
    }
    // Less than a second is no bulletin: the provider is still writing it, or the download
    // broke off.
    if (!obraz || obraz->rate <= 0 || obraz->ramki < obraz->rate) {
        log.DodajDoLoga("AkcjaSerwis: Pobrany serwis jest pusty lub za krótki.");
        return Przyjecie::Odrzuc;
    }
    odcisk = obraz->odcisk;
    const Przyjecie przyjecie = PrzyjmijOdcisk(odcisk, dat, rodzaj, o, log);
    // Every answer but a plain acceptance comes from a repeat.
    if (powtorzony) *powtorzony = przyjecie != Przyjecie::Przyjmij;
    return przyjecie;
}

void ZapiszSladDostarczenia(const std::filesystem::path& dat, std::string_view rodzaj,
                            const std::string& odcisk, const std::string& sciezka, Log& log,
                            const LocalTime& teraz, Przyjecie przyjecie, const std::string& stempel) {
    try {
        IniFile stan(dat);
        if (!odcisk.empty()) {
            stan.WriteString(SekcjaPobrany, KluczOstOdcisk(rodzaj), odcisk);
            std::string lista = FormatDateTime("yyyyMMddHHmmss", teraz) + ":" + odcisk;
            std::size_t n = 1;
            for (const WpisOdcisku& w : CzytajOdciski(stan.ReadString(SekcjaPobrany, KluczOstOdciski(rodzaj), "")))
                if (wDobie(w, teraz) && n++ < kMaksOdciskow)
                    lista += "," + FormatDateTime("yyyyMMddHHmmss", LocalTime::fromSerial(w.chwila)) + ":" + w.odcisk;
            stan.WriteString(SekcjaPobrany, KluczOstOdciski(rodzaj), lista);
        }
        stan.WriteString(SekcjaPobrany, KluczOstPlik(rodzaj), sciezka);
        if (przyjecie == Przyjecie::Tymczasowo)
            stan.WriteString(SekcjaPobrany, KluczOstTymczasowy(rodzaj), stempel);
        else
            stan.DeleteKey(SekcjaPobrany, KluczOstTymczasowy(rodzaj));
    } catch (const std::exception& e) {
        log.DodajDoLoga(std::string("AkcjaSerwis: ") + e.what());
    }
}

}  // namespace tolvak
