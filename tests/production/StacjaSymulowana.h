#pragma once
// A ZPR station under the real scheduler on the manual clock: the weekday folder holds last
// week's files under this week's names until the provider replaces them, at its own moment or
// never. The run is scripted (fetch 5 s, assembly 10 s) but decides on the bulletin as the
// production does; every hour of the matrix is wanted.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "platform/Regional.h"
#include "production/Odcisk.h"
#include "schedule/CzasSymulowany.h"
#include "schedule/Harmonogram.h"
#include "schedule/Matryca.h"
#include "schedule/StanPobran.h"
#include "schedule/ZrodlaBezPobran.h"
#include "support/TempDir.h"

namespace tolvak::test {

inline constexpr int64_t kGodzina = 3600;

/// The folder's file for an hour at a moment: dated today or not, and whose audio ("" for 0 bytes).
struct Plik {
    bool dzisiaj = false;
    std::string dzwiek;
};

struct StacjaSymulowana : ZrodlaBezPobran {
    struct Dostawa {
        std::string dzwiek;
        int64_t chwila;  // serial second
    };
    /// `skrypt`: the file for the full hour h (serial hours) at serial second t.
    StacjaSymulowana(LocalTime start, std::function<Plik(int64_t h, int64_t t)> s)
        : clock(start), czas(clock), skrypt(std::move(s)) {
        SetRegionalFormats(RegionalFormats{"yyyy-MM-dd", "HH:mm:ss", '-'});
        std::ofstream m(tmp / "tolvak.ini", std::ios::binary);
        m << "[Matryca]\r\n";
        for (int d = 1; d <= 7; ++d)
            for (int h = 6; h <= 22; ++h) m << "d" << d << h << "=1\r\n";
        m.close();
        matryca.Wczytaj();
        u.CzyNews = true;
        u.FolderZapisu = tmp.path().string() + "/";
        log.OnLine = [this](std::string_view l) { linie.emplace_back(l.substr(l.find(": ") + 2)); };
    }
    Plik Teraz() const {
        const int64_t t = clock.now().serial();
        return skrypt(t / kGodzina + 1, t);
    }
    bool CzyJestSerwis() override { return Teraz().dzisiaj; }
    Swiezosc SwiezoscSerwisu() override {
        return Teraz().dzisiaj ? Swiezosc::Aktualny() : Swiezosc::Nieaktualny("plik z zeszłego tygodnia");
    }
    std::string CzyJestSerwisSE(const std::string&) override { return {}; }
    bool CzyJestAgoraDodatkowy(const std::string&) override { return false; }
    bool CzyJestSerwisZPliku() override { return false; }

    bool Akcja(TrybAkcji tryb) {
        const LocalTime poczatek = clock.now();
        const std::string stempel = ComingHourStamp(poczatek), dzwiek = Teraz().dzwiek, odcisk = "odcisk-" + dzwiek;
        const int ms = czasPobrania(poczatek.serial());
        czas.Uplyw(std::abs(ms));
        if (ms < 0 || dzwiek.empty()) return false;
        const Przyjecie p = PrzyjmijOdcisk(odcisk, stan.FileName(), "News", {false, tryb, stempel, clock.now()}, log);
        if (p == Przyjecie::Odrzuc) return false;
        czas.Uplyw(10000);
        ZapiszPobranyInfo(stan.FileName(), "News", poczatek);
        ZapiszSladDostarczenia(stan.FileName(), "News", odcisk, "N", log, clock.now(), p, stempel);
        dostawy[poczatek.serial() / kGodzina + 1].push_back({dzwiek, clock.now().serial()});
        return true;
    }

    /// The fetch's time in ms at serial second t; negative: it stalls that long and fails.
    std::function<int(int64_t t)> czasPobrania = [](int64_t) { return 5000; };
    // The state file and the log are rewritten thousands of times: in memory where possible.
    TempDir tmp{std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path()};
    ManualClock clock;
    CzasSymulowany czas;
    Log log{tmp / "log.txt", clock};
    Matryca matryca{tmp / "tolvak.ini"};
    StanPobran stan{tmp / "tolvak.dat", matryca, log, clock};
    Ustawienia u;
    StatusDisplay okno{clock, czas.NowyTimer(), czas.NowyTimer()};
    std::map<int64_t, std::vector<Dostawa>> dostawy;  // by the full hour they were for
    std::vector<std::string> linie;
    std::function<Plik(int64_t, int64_t)> skrypt;
    Harmonogram h{KontekstHarmonogramu{u, stan, *this, [this](const std::string&, const std::string&, TrybAkcji t) {
                                           okno.Migotanie(true);
                                           const bool w = Akcja(t);
                                           okno.Migotanie(false);
                                           return w;
                                       },
                                       log, clock, okno},
                  czas.NowyTimer(), czas.NowyTimer()};
};

/// Serial second of minute `m`, second `s` of the hour before the full hour `h`.
inline int64_t Przed(int64_t h, int m, int s = 0) { return (h - 1) * kGodzina + m * 60 + s; }

}  // namespace tolvak::test
