// TForm1: what the window tells of the station's state beyond the status elements — a failed or
// repeated run in the status bar's second panel, the tray's menu, tooltip, icon and
// notifications, the last delivery and the source in use after a restart, the question before
// one general-news source switches another off, and the name of the next file.

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "app/window/Form1.h"
#include "app/window/Kontrolki.h"
#include "app/window/Zasoby.h"
#include "platform/Ini.h"
#include "production/Dostarczenie.h"
#include "production/Rodzaje.h"
#include "schedule/StanWynikow.h"

namespace tolvak {

using namespace okno;

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

// The kind that each item of the kind selector delivers, and the names of the general-news ones.
constexpr std::string_view kRodzajPozycji[] = {kNews, kSport, kEkonomia, kPogoda, kNews, kNews};
constexpr int kPozycjaNewsy = 0, kPozycjaZPliku = 4, kPozycjaIAR = 5;

LocalTime CzasPliku(const std::filesystem::file_time_type& t) {
    const auto sys = std::chrono::file_clock::to_sys(t);
    return LocalTime::fromTimeT(std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys)));
}

}  // namespace

void TForm1::ZbudujStan() {
    LNastepnyPlik = new QLabel(GroupBox4);
    LNastepnyPlik->setObjectName(QStringLiteral("LNastepnyPlik"));
    LNastepnyPlik->setGeometry(16, 178, 362, 16);
    LNastepnyPlik->setToolTip(QStringLiteral("Nazwa pliku następnego serwisu wybranego rodzaju"));
    LNastepnyPlik->show();
    // After the handlers, which store the change first.
    for (TRadioGroup* g : {RadioGroup2, RGNazwaWynikowa, RadioGroup1})
        connect(g, &TRadioGroup::Click, this, [this] { OdswiezNastepnaNazwa(); });
    connect(ENazwaWynikowa, &QLineEdit::textChanged, this, [this] { OdswiezNastepnaNazwa(); });

    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName(QStringLiteral("TrayMenu"));
    QAction* pokaz = trayMenu_->addAction(QStringLiteral("Pokaż"));
    QAction* pobierz = trayMenu_->addAction(QStringLiteral("Pobierz ostatni"));
    trayMenu_->addSeparator();
    QAction* zamknij = trayMenu_->addAction(QStringLiteral("Zamknij"));
    connect(pokaz, &QAction::triggered, this, [this] { TrayIcon1Click(); });
    // The manual fetch as the button gives it: not while a run holds the busy flag.
    connect(pobierz, &QAction::triggered, this, [this] { Obsluz([this] { BitBtn1Click(); }); });
    connect(trayMenu_, &QMenu::aboutToShow, this, [this, pobierz] { pobierz->setEnabled(!Zajety()); });
    connect(zamknij, &QAction::triggered, this, [this] { close(); });
    TrayIcon1->setContextMenu(trayMenu_);
    OdswiezNastepnaNazwa();
}

void TForm1::setRunOutcome(const WynikAkcji& wynik) { status_->setRunOutcome(wynik); }
void TForm1::setNextCheck(int sekundy) { status_->setNextCheck(sekundy); }

void TForm1::Dymek(const QString& tytul, const QString& tekst) {
    if (OnDymek) OnDymek(tytul, tekst);
    TrayIcon1->showMessage(tytul, tekst, QSystemTrayIcon::Warning, 15000);
}

void TForm1::OdswiezAlarmy() {
    const std::string& brak = status_->StatusBar1BrakSerwisu();
    const std::string niepowodzenia = status_->StatusBar1Niepowodzenia();
    // The missed hour first, as before; the failure after it.
    const QString panel = Q(brak + (!brak.empty() && !niepowodzenia.empty() ? "  " : "") + niepowodzenia);
    if (StatusBar1->AlarmText() != panel) {
        StatusBar1->SetAlarmText(panel);
        StatusBar1->SetAlarmKolor(status_->Alarm() || niepowodzenia.empty());
        StatusBar1->setToolTip(Q(status_->TekstZasobnika()).replace('\n', QStringLiteral("<br>")));
    }
    if (const QString t = Q(status_->TekstZasobnika()); TrayIcon1->toolTip() != t) TrayIcon1->setToolTip(t);
    if (const int alarm = status_->Alarm() ? 1 : 0; alarm != ikonaAlarmu_) {
        ikonaAlarmu_ = alarm;
        TrayIcon1->setIcon(alarm ? Zasoby::Obrazek("tolvak_alarm") : Zasoby::Ikona());
    }
    // One notification per failed run and per missed hour: never twice for a kind and hour.
    for (const WynikAkcji& w : status_->Niepowodzenia()) {
        if (!w.Nieudany()) continue;
        const std::string klucz = w.rodzaj + " " + w.godzina;
        if (std::find(dymki_.begin(), dymki_.end(), klucz) != dymki_.end()) continue;
        dymki_.push_back(klucz);
        if (dymki_.size() > 64) dymki_.pop_front();
        const std::string hh = w.godzina.size() >= 2 ? w.godzina.substr(w.godzina.size() - 2) : w.godzina;
        Dymek(QStringLiteral("Nieudane pobranie serwisu"), Q(w.rodzaj + " " + hh + ":00: " + w.powod));
    }
    if (brak.empty()) {
        ostatniBrak_.clear();
    } else if (brak != ostatniBrak_) {
        ostatniBrak_ = brak;
        Dymek(QStringLiteral("Brak serwisu"), Q(brak));
    }
}

QString TForm1::NastepnaNazwa() const {
    const int i = std::clamp(RadioGroup2->ItemIndex(), 0, 5);
    const std::string rodzaj(kRodzajPozycji[i]);
    // The name being typed counts as soon as it would be accepted.
    std::string stala = ENazwaWynikowa->text().trimmed().toStdString();
    if (!CzyDozwolonaNazwaWynikowa(stala)) stala = ustawienia_.NazwaWynikowa;
    return Q(NazwaWynikowaSerwisu(DzwiekiDlaRodzaju(ustawienia_, rodzaj).Prefiks, RGNazwaWynikowa->ItemIndex(),
                                  stala, RadioGroup1->ItemIndex(), clock_.now()));
}

void TForm1::OdswiezNastepnaNazwa() {
    if (!LNastepnyPlik) return;
    const QString t = QStringLiteral("Następny plik: ") + NastepnaNazwa();
    if (LNastepnyPlik->text() != t) LNastepnyPlik->setText(t);
}

void TForm1::WczytajOstatnie() {
    const std::filesystem::path dat = p_.folderProgramu / NazwaPlikuStanu;
    // The newest of the kinds' delivered files that are still there, by their time.
    std::optional<std::pair<std::filesystem::file_time_type, std::string>> najnowszy;
    const IniFile stan(dat);
    for (std::string_view rodzaj : {kNews, kSport, kEkonomia, kPogoda}) {
        const std::string plik = stan.ReadString(SekcjaPobrany, KluczOstPlik(rodzaj), "");
        std::error_code ec;
        if (plik.empty() || !std::filesystem::is_regular_file(plik, ec)) continue;
        const auto t = std::filesystem::last_write_time(plik, ec);
        if (ec) continue;
        if (!najnowszy || t > najnowszy->first) najnowszy.emplace(t, plik);
    }
    if (najnowszy)
        status_->PrzywrocOstatnie(std::filesystem::path(najnowszy->second).filename().string(),
                                  CzasPliku(najnowszy->first));
    const std::vector<WynikAkcji> stojace = StojaceWyniki(dat);
    // Notified before the restart: not again.
    for (const WynikAkcji& w : stojace)
        if (w.Nieudany()) dymki_.push_back(w.rodzaj + " " + w.godzina);
    status_->PrzywrocNiepowodzenia(stojace);
}

void TForm1::UstawPozycjePoczatkowa() {
    // General news switched on wins, as reading the settings switches the other two off; of
    // those two the production takes the feed first.
    const Ustawienia& u = ustawienia_;
    const int i = u.CzyNews ? kPozycjaNewsy : u.CzyIAR ? kPozycjaIAR : u.CzyZPliku ? kPozycjaZPliku : kPozycjaNewsy;
    if (i == RadioGroup2->ItemIndex()) return;
    // Showing the source in use is no operator's switch: its dialog does not open.
    const QSignalBlocker grupa(RadioGroup2), przelacznik(CheckBox1);
    RadioGroup2->SetItemIndex(i);
    CheckBox1->setChecked(true);
}

std::optional<std::string> TForm1::PotwierdzPrzelaczenie(int pozycja) {
    // Reading the settings applies the rule without asking: nobody switched anything.
    if (!ustawienia_.konfiguracjaOdczytana) return std::string();
    if (pozycja != kPozycjaNewsy && pozycja != kPozycjaZPliku && pozycja != kPozycjaIAR) return std::string();
    const Ustawienia& u = ustawienia_;
    std::string inne;
    int ile = 0;
    const auto dodaj = [&](bool wlaczone, int p, const char* nazwa) {
        if (!wlaczone || p == pozycja) return;
        inne += (inne.empty() ? "" : ", ") + std::string(nazwa);
        ++ile;
    };
    dodaj(u.CzyNews, kPozycjaNewsy, "Newsy");
    dodaj(u.CzyZPliku, kPozycjaZPliku, "Newsy z pliku");
    dodaj(u.CzyIAR, kPozycjaIAR, "Newsy IAR");
    if (inne.empty()) return std::string();
    if (messageBox("Włączenie tego źródła wyłączy „" + inne + "”. Kontynuować?", "Pytanie", MsgButtons::YesNo,
                   MsgIcon::Question) != MsgResult::Yes) {
        const QSignalBlocker b(CheckBox1);
        CheckBox1->setChecked(false);
        return std::nullopt;
    }
    return (ile > 1 ? "Wyłączono źródła: " : "Wyłączono źródło: ") + inne;
}

}  // namespace tolvak
