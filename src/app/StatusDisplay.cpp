#include "app/StatusDisplay.h"

#include <algorithm>
#include <cstdio>

#include "platform/Regional.h"
#include "platform/UiQueue.h"

namespace tolvak {

StatusDisplay::StatusDisplay(const Clock& clock)
    : clock_(clock), timer2_(&ownTimer2_), timer3_(&ownTimer3_) {
    bindTimers();
}

StatusDisplay::StatusDisplay(const Clock& clock, Timer& timer2, Timer& timer3)
    : clock_(clock), timer2_(&timer2), timer3_(&timer3) {
    bindTimers();
}

void StatusDisplay::bindTimers() {
    timer2_->setEnabled(false);
    timer2_->setInterval(kInterwalTimer2);
    timer2_->setHandler([this] { Timer2Timer(); });
    timer3_->setEnabled(false);
    timer3_->setInterval(kInterwalTimer3);
    timer3_->setHandler([this] { Timer3Timer(); });
    timer3_->setEnabled(true);
}

void StatusDisplay::setAction(std::string_view text) {
    lAkcja_.assign(text);
    if (OnAction) OnAction(lAkcja_);
    changed();
}

void StatusDisplay::setGaugeMax(int64_t maximum) {
    gaugeMax_ = std::max<int64_t>(maximum, 0);
    gaugePosition_ = std::min(gaugePosition_, gaugeMax_);
    changed();
}

void StatusDisplay::setGaugePosition(int64_t position) {
    gaugePosition_ = std::clamp<int64_t>(position, 0, gaugeMax_);
    changed();
}

void StatusDisplay::advanceGauge(int64_t delta) {
    // Saturating: a huge delta must not overflow the sum.
    const int64_t room = gaugeMax_ - gaugePosition_;
    if (delta >= room) {
        gaugePosition_ = gaugeMax_;
        changed();
    } else {
        setGaugePosition(gaugePosition_ + delta);
    }
}

void StatusDisplay::setStatusBar(std::string_view text) {
    statusBar_.assign(text);
    changed();
}

void StatusDisplay::setLastDelivered(std::string_view text) {
    lOstPobrany_.assign(text);
    ostatniaNazwa_.assign(text.substr(0, text.find('\r')));
    ostatnioKiedy_ = clock_.now();
    changed();
}

void StatusDisplay::PrzywrocOstatnie(std::string_view nazwa, const LocalTime& kiedy) {
    char d[16];
    std::snprintf(d, sizeof d, "%04d-%02d-%02d", kiedy.year, kiedy.month, kiedy.day);
    lOstPobrany_ = std::string(nazwa) + "\r" + d + "\r" +
                   FormatDateTime(CurrentRegionalFormats().longTime, kiedy);
    ostatniaNazwa_.assign(nazwa);
    ostatnioKiedy_ = kiedy;
    changed();
}

void StatusDisplay::setRunOutcome(const WynikAkcji& wynik) {
    // Every run of a kind replaces what stood for it: a delivery of a different bulletin leaves
    // nothing, a repeat its warning, a failure its failure.
    std::erase_if(niepowodzenia_, [&](const WynikAkcji& w) { return w.rodzaj == wynik.rodzaj; });
    if (wynik.Nieudany() || wynik.powtorzony) niepowodzenia_.push_back(wynik);
    if (wynik.Nieudany()) {
        lAkcja_ = "Nieudane: " + wynik.powod;
        gaugePosition_ = 0;
    } else if (!wynik.dostarczony) {
        lAkcja_ = "Uwaga: " + wynik.powod;
        gaugePosition_ = 0;
    }
    if (!wynik.dostarczony && OnAction) OnAction(lAkcja_);
    changed();
}

void StatusDisplay::PrzywrocNiepowodzenia(const std::vector<WynikAkcji>& wyniki) {
    niepowodzenia_ = wyniki;
    changed();
}

std::string StatusDisplay::StatusBar1Niepowodzenia() const {
    std::string s;
    for (const WynikAkcji& w : niepowodzenia_) {
        if (!s.empty()) s += " | ";
        const std::string hh = w.godzina.size() >= 2 ? w.godzina.substr(w.godzina.size() - 2) : w.godzina;
        s += (w.Nieudany() ? "Nieudane " : "Uwaga ") + w.rodzaj + " " + hh + ":00: " + w.powod;
    }
    return s;
}

bool StatusDisplay::Alarm() const {
    return !brakSerwisu_.empty() ||
           std::any_of(niepowodzenia_.begin(), niepowodzenia_.end(), [](const WynikAkcji& w) { return w.Nieudany(); });
}

std::string StatusDisplay::TekstZasobnika() const {
    std::string s = brakSerwisu_;
    if (const std::string n = StatusBar1Niepowodzenia(); !n.empty()) s += (s.empty() ? "" : "\n") + n;
    if (!s.empty()) return s;
    if (ostatnioKiedy_) {
        char t[8];
        std::snprintf(t, sizeof t, "%02d:%02d", ostatnioKiedy_->hour, ostatnioKiedy_->minute);
        return "Ostatnio: " + ostatniaNazwa_ + ", " + t;
    }
    return "Pobieranie serwisów";
}

void StatusDisplay::setNextCheck(int sekundy) {
    odstepSprawdzen_ = std::max(sekundy, 0);
    sekundyDoWlaczenia_ = odstepSprawdzen_;
    changed();
}

void StatusDisplay::setMissedHour(std::string_view text) {
    brakSerwisu_.assign(text);
    changed();
}

void StatusDisplay::Migotanie(bool tryb) {
    if (tryb) {
        timer2_->setEnabled(true);
        timer3_->setEnabled(false);
        lShapeInfo_ = "Pobieram...";
    } else {
        timer2_->setEnabled(false);
        sekundyDoWlaczenia_ = odstepSprawdzen_;
        timer3_->setEnabled(true);
        shapeColor_ = kZielony;
        lShapeInfo_ = "Czekam na zadanie.";
    }
    changed();
}

MsgResult StatusDisplay::messageBox(std::string_view text, std::string_view caption,
                                    MsgButtons, MsgIcon) {
    if (OnMessageBox) OnMessageBox(text, caption);
    return messageBoxAnswer_;
}

void StatusDisplay::processMessages() { UiQueue::instance().processPending(); }

void StatusDisplay::waitUntil(const std::function<bool()>& done) {
    UiQueue::instance().processUntil(done);
}

void StatusDisplay::Timer2Timer() {
    shapeColor_ = shapeColor_ == kZielony ? kCzerwony : kZielony;
    changed();
    processMessages();
}

void StatusDisplay::Timer3Timer() {
    sekundyDoWlaczenia_ = std::max(sekundyDoWlaczenia_ - 1, 0);
    const LocalTime t = clock_.now();
    lShapeInfo_ = "Jest " + FormatDateTime(CurrentRegionalFormats().longTime, t) +
                  ". Do następnego testu: ~" +
                  PozycjaNaCzas(sekundyDoWlaczenia_);
    changed();
}

std::string StatusDisplay::PozycjaNaCzas(int sekundy) {
    const int minuty = sekundy / 60;
    const int reszta = sekundy % 60;
    std::string s = std::to_string(minuty) + ":";
    if (reszta < 10) s += "0";
    s += std::to_string(reszta);
    return s;
}

}  // namespace tolvak
