#include "production/Odcisk.h"

#include <openssl/evp.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

#include "app/Log.h"
#include "audio/DecodeStream.h"
#include "platform/Ini.h"
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

bool PrzyjmijPobrany(const std::string& tvvoice, const std::filesystem::path& dat,
                     std::string_view rodzaj, bool odrzucPowtorzony, Log& log, std::string& odcisk,
                     bool* powtorzony) {
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
        return false;
    }
    odcisk = obraz->odcisk;
    std::string poprzedni;
    try {
        poprzedni = IniFile(dat).ReadString(SekcjaPobrany, KluczOstOdcisk(rodzaj), "");
    } catch (const std::exception&) {
    }
    if (poprzedni != odcisk) return true;
    if (powtorzony) *powtorzony = true;
    log.DodajDoLoga("AkcjaSerwis: Ten sam serwis co poprzednio.");
    return !odrzucPowtorzony;
}

void ZapiszSladDostarczenia(const std::filesystem::path& dat, std::string_view rodzaj,
                            const std::string& odcisk, const std::string& sciezka, Log& log) {
    try {
        IniFile stan(dat);
        if (!odcisk.empty()) stan.WriteString(SekcjaPobrany, KluczOstOdcisk(rodzaj), odcisk);
        stan.WriteString(SekcjaPobrany, KluczOstPlik(rodzaj), sciezka);
    } catch (const std::exception& e) {
        log.DodajDoLoga(std::string("AkcjaSerwis: ") + e.what());
    }
}

}  // namespace tolvak
