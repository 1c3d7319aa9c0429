#pragma once
// What the network source tests share: a program folder and a working directory, a clock
// standing on Monday 2024-05-06 at 07:20 (coming hour 8), the log, the window-less status
// display, the settings, and two servers on 127.0.0.1 — HTTPS for the package service, HTTP for
// the Agora services and the feeds — answering from a table of targets.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "sources/Zrodla.h"
#include "support/SerwerHTTP.h"
#include "support/TempDir.h"

namespace tolvak {

namespace fs = std::filesystem;

inline std::string CzytajPlik(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

inline void ZapiszPlik(const fs::path& p, const std::string& tresc) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << tresc;
}

inline test::Odpowiedz Status(int kod, std::string powod, test::Naglowki naglowki = {}) {
    test::Odpowiedz o;
    o.kod = kod;
    o.powod = std::move(powod);
    o.naglowki = std::move(naglowki);
    return o;
}

inline test::Odpowiedz Tresc(std::string tresc, test::Naglowki naglowki = {}) {
    test::Odpowiedz o = Status(200, "OK", std::move(naglowki));
    o.tresc = std::move(tresc);
    return o;
}

/// A body that never ends: `kawalek` bytes every `odstep` (a trickle, or a fast endless stream).
inline test::Odpowiedz BezKonca(std::size_t kawalek, std::chrono::milliseconds odstep) {
    test::Odpowiedz o;
    o.dalej = [=](std::string& k) { return std::this_thread::sleep_for(odstep), k.assign(kawalek, 'x'), true; };
    return o;
}

class SrodowiskoSieci : public ::testing::Test {
protected:
    SrodowiskoSieci() {
        fs::create_directories(prog);
        fs::create_directories(work);
        u.AdresZet = zet.Adres();
        u.AdresAgora = http.Adres() + "/agora/";
        u.AdresAgoraPliki = http.Adres() + "/pliki/";
    }

    /// The sources, made on first use so that a test can set the limits first.
    Zrodla& z() {
        if (!zrodla_) zrodla_ = std::make_unique<Zrodla>(KontekstZrodel{u, prog, work, log, clock, okno}, limity);
        return *zrodla_;
    }

    /// Answers `cel` (path and query, exactly as requested) on both servers.
    void Trasa(const std::string& cel, test::Odpowiedz o) {
        std::lock_guard l(m_);
        trasy_[cel] = std::move(o);
    }

    /// The messages of the log lines, oldest first, without their timestamps.
    std::vector<std::string> Linie() const {
        std::vector<std::string> w;
        std::ifstream f(prog / "log.txt");
        for (std::string l; std::getline(f, l);) {
            if (!l.empty() && l.back() == '\r') l.pop_back();
            w.insert(w.begin(), l.substr(l.find(": ") + 2));
        }
        return w;
    }

    /// The targets that `s` was asked for, in order, each prefixed with its method.
    static std::vector<std::string> Cele(const test::SerwerHTTP& s) {
        std::vector<std::string> w;
        for (const auto& r : s.Zadania()) w.push_back(r.metoda + " " + r.cel);
        return w;
    }

    test::TempDir tmp;
    fs::path prog = tmp / "prog", work = tmp / "work";
    ManualClock clock{LocalTime{2024, 5, 6, 7, 20, 0}};
    Log log{prog / "log.txt", clock};
    StatusDisplay okno{clock};
    Ustawienia u;
    LimityTransferu limity;

    /// Turns a route's target, header values and body into what is served at this moment.
    virtual std::string Podstaw(const std::string& s) const { return s; }
    void WyczyscTrasy() {
        std::lock_guard l(m_);
        trasy_.clear();
    }

private:
    test::Odpowiedz Obsluz(const test::Zadanie& r) {
        std::lock_guard l(m_);
        for (const auto& [cel, o] : trasy_) {
            if (Podstaw(cel) != r.cel) continue;
            test::Odpowiedz w = o;
            w.tresc = Podstaw(w.tresc);
            for (auto& n : w.naglowki) n.second = Podstaw(n.second);
            return w;
        }
        return Status(404, "Not Found");
    }

    std::mutex m_;
    std::map<std::string, test::Odpowiedz> trasy_;
    std::unique_ptr<Zrodla> zrodla_;

protected:
    test::SerwerHTTP zet{[this](const test::Zadanie& r) { return Obsluz(r); }, test::SerwerHTTP::Tryb::Https};
    test::SerwerHTTP http{[this](const test::Zadanie& r) { return Obsluz(r); }};
};

}  // namespace tolvak
