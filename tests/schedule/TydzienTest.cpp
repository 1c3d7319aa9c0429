// A simulated week of unattended work: every timer ticks on a manual clock for seven days, the
// sources publish each hour's bulletin at a random minute and fail at random, productions take
// their time while the other timers keep ticking. Every wanted hour whose bulletin was out before
// minute 59 is delivered exactly once, with that bulletin; no unwanted hour gets general news;
// the state file and the log agree with what happened.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "CzasSymulowany.h"
#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "platform/Ini.h"
#include "platform/Regional.h"
#include "schedule/Harmonogram.h"
#include "schedule/Matryca.h"
#include "schedule/StanPobran.h"
#include "ZrodlaBezPobran.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kGodzina = 3600;

/// A provider that publishes the bulletin of hour H + 1 at a random moment of hour H (sometimes
/// after minute 59, sometimes not until the next hour), whose checks and fetches fail at random,
/// except in minute 59, when only the intervention is left to deliver.
class ZrodlaTygodnia : public test::ZrodlaBezPobran {
public:
    ZrodlaTygodnia(const Clock& clock, std::mt19937& los, int64_t poczatek, int64_t koniec)
        : clock_(clock), los_(los) {
        std::uniform_int_distribution<int64_t> moment(0, 65 * 60);
        for (const char* r : {"News", "Sport"})
            for (int64_t h = poczatek / kGodzina - 1; h <= koniec / kGodzina + 1; ++h)
                publikacja_[r][h + 1] = h * kGodzina + moment(los_);
    }
    /// Serial second at which the bulletin for the full hour `godzina` (serial hours) is out.
    int64_t Publikacja(const std::string& r, int64_t godzina) { return publikacja_[r][godzina]; }

    /// The newest bulletin out now: the serial hour it was made for.
    std::optional<int64_t> Najnowszy(const std::string& r) {
        const int64_t t = teraz();
        std::optional<int64_t> wynik;
        for (const auto& [godzina, moment] : publikacja_[r])
            if (moment <= t) wynik = godzina;
        return wynik;
    }
    /// The fetch of the production run: the newest bulletin, or nothing after a failure.
    std::optional<int64_t> Pobierz(const std::string& r) {
        if (awaria()) return std::nullopt;
        return Najnowszy(r);
    }

    bool CzyJestAgoraDodatkowy(const std::string&) override { return false; }
    bool CzyJestSerwisZPliku() override { return false; }
    bool CzyJestSerwis() override {
        if (std::uniform_int_distribution<int>(0, 199)(los_) == 0)
            throw std::runtime_error("odpowiedź serwera nie do odczytania");
        return !awaria() && jestNaNastepna("News");
    }
    std::string CzyJestSerwisSE(const std::string& r) override {
        if (awaria() || !jestNaNastepna(r)) return {};
        return "link-" + std::to_string(teraz() / kGodzina + 1);
    }

private:
    int64_t teraz() const { return clock_.now().serial(); }
    bool jestNaNastepna(const std::string& r) {
        return publikacja_[r][teraz() / kGodzina + 1] <= teraz();
    }
    bool awaria() {
        return clock_.now().minute != 59 && std::uniform_int_distribution<int>(0, 9)(los_) == 0;
    }
    const Clock& clock_;
    std::mt19937& los_;
    std::map<std::string, std::map<int64_t, int64_t>> publikacja_;
};

struct Dostawa {
    std::string rodzaj;
    std::string stempel;   // the coming-hour stamp recorded
    int64_t godzina = 0;   // serial hour the delivered bulletin was made for
};

/// "yyyy-MM-dd hh" of the full hour `godzina` (serial hours), as the state file stamps it.
std::string Stempel(int64_t godzina) {
    // The hour before it, plus 60 minutes, wrapping at midnight without moving the date.
    return ComingHourStamp(LocalTime::fromSerial((godzina - 1) * kGodzina));
}

TEST(Tydzien, EveryWantedHourIsDeliveredOnceAndNothingElse) {
    // The log and the state file are rewritten (and flushed) thousands of times: keep them in
    // memory when the system has a memory file system.
    const fs::path korzen = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    test::TempDir tmp(korzen);
    SetRegionalFormats(RegionalFormats{"yyyy-MM-dd", "HH:mm:ss", '-'});
    std::mt19937 los(20240506);
    const LocalTime start{2024, 5, 6, 0, 3, 17};  // a Monday
    const int64_t poczatek = start.serial(), koniec = poczatek + 7 * 24 * kGodzina;

    // Each hour of the matrix wanted with a chance of two in three.
    std::string matrycaIni = "[Matryca]\r\n";
    std::map<std::string, bool> chciana;  // by the cell's name
    for (int d = 1; d <= 7; ++d)
        for (int h = 6; h <= 22; ++h) {
            const bool tak = std::uniform_int_distribution<int>(0, 2)(los) != 0;
            matrycaIni += "d" + std::to_string(d) + std::to_string(h) + "=" + (tak ? "1" : "0") + "\r\n";
            chciana[Matryca::NazwaKomorki(d, h)] = tak;
        }
    std::ofstream(tmp / "tolvak.ini", std::ios::binary) << matrycaIni;

    ManualClock clock(start);
    test::CzasSymulowany czas(clock);
    Log log(tmp / "log.txt", clock);
    std::vector<std::string> linie;
    log.OnLine = [&](std::string_view l) { linie.emplace_back(l); };
    Matryca matryca(tmp / "tolvak.ini");
    matryca.Wczytaj();
    StanPobran stan(tmp / "tolvak.dat", matryca, log, clock);
    Ustawienia u;
    u.CzyNews = u.CzySport = true;
    fs::create_directories(tmp / "out");
    u.FolderZapisu = (tmp / "out").string() + "/";
    ZrodlaTygodnia zrodla(clock, los, poczatek, koniec);
    StatusDisplay okno(clock, czas.NowyTimer(), czas.NowyTimer());

    std::vector<Dostawa> dostawy;
    // The production run: the fetch and the assembly take their time; it names and records the
    // hour coming when it started.
    auto akcja = [&](const std::string& r, const std::string& link, TrybAkcji) {
        const LocalTime poczatek = clock.now();
        okno.Migotanie(true);
        czas.Uplyw(std::uniform_int_distribution<int>(2000, 25000)(los));  // the fetch
        std::optional<int64_t> biuletyn = zrodla.Pobierz(r);
        if (biuletyn && !link.empty()) biuletyn = std::stoll(link.substr(5));  // the link's own
        if (!biuletyn) {
            log.DodajDoLoga("AkcjaSerwis: Nieudane pobranie serwisu.");
            okno.Migotanie(false);
            return false;
        }
        czas.Uplyw(std::uniform_int_distribution<int>(1000, 15000)(los));  // the assembly
        log.DodajDoLoga("AkcjaSerwis: Skopiowano serwis do lokalizacji docelowej.");
        ZapiszPobranyInfo(stan.FileName(), r, poczatek);
        dostawy.push_back({r, ComingHourStamp(poczatek), *biuletyn});
        okno.Migotanie(false);
        return true;
    };
    Harmonogram h(KontekstHarmonogramu{u, stan, zrodla, akcja, log, clock, okno}, czas.NowyTimer(),
                  czas.NowyTimer());

    czas.Uplyw((koniec - poczatek) * 1000);

    EXPECT_GT(czas.Tykniecia(), 1'200'000u);
    std::map<std::pair<std::string, std::string>, std::vector<int64_t>> poStemplu;
    for (const Dostawa& d : dostawy) poStemplu[{d.rodzaj, d.stempel}].push_back(d.godzina);
    int chcianych = 0;
    for (int64_t g = poczatek / kGodzina + 1; g <= koniec / kGodzina; ++g) {
        const LocalTime przed = LocalTime::fromSerial((g - 1) * kGodzina);
        const std::string stempel = Stempel(g);
        const auto& news = poStemplu[{"News", stempel}];
        const bool chcianaGodzina =
            przed.hour + 1 <= 22 && chciana[Matryca::NazwaKomorki(przed.weekday(), przed.hour + 1)];
        const bool naCzas = zrodla.Publikacja("News", g) < (g - 1) * kGodzina + 59 * 60;
        if (!chcianaGodzina) {
            EXPECT_TRUE(news.empty()) << "unwanted " << stempel;
        } else if (naCzas) {
            ++chcianych;
            ASSERT_EQ(news.size(), 1u) << "wanted " << stempel;
            EXPECT_EQ(news[0], g) << "the bulletin of another hour for " << stempel;
        } else {
            EXPECT_LE(news.size(), 1u) << stempel;
        }
        const auto& sport = poStemplu[{"Sport", stempel}];
        EXPECT_LE(sport.size(), 1u) << "sport " << stempel;
        for (int64_t b : sport) EXPECT_EQ(b, g) << "sport " << stempel;
    }
    EXPECT_GT(chcianych, 60);

    // The state file holds the stamps of the last deliveries.
    const IniFile dat(tmp / "tolvak.dat");
    for (const char* r : {"News", "Sport"}) {
        std::string ostatni;
        for (const Dostawa& d : dostawy)
            if (d.rodzaj == r) ostatni = d.stempel;
        EXPECT_EQ(dat.ReadString("Pobrany", KluczOstPobrany(r), ""), ostatni) << r;
    }
    // The log file holds the newest 400 lines, newest first; the contained errors are in it.
    std::ifstream plik(tmp / "log.txt", std::ios::binary);
    std::vector<std::string> wPliku;
    for (std::string l; std::getline(plik, l);) wPliku.push_back(l.substr(0, l.size() - 1));
    ASSERT_EQ(wPliku.size(), Log::MaksymalnaLiczbaLinii);
    for (std::size_t i = 0; i < wPliku.size(); ++i) ASSERT_EQ(wPliku[i], linie[linie.size() - 1 - i]);
    int bledy = 0;
    for (const std::string& l : linie) bledy += l.ends_with("Timer1: odpowiedź serwera nie do odczytania");
    EXPECT_GT(bledy, 0);
    EXPECT_TRUE(h.BitBtn1Enabled());
}

}  // namespace
}  // namespace tolvak
