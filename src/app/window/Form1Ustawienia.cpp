// TForm1: the settings handlers. Each writes its key at once; most log a line.

#include <QCheckBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QToolButton>
#include <array>

#include "app/window/Form1.h"
#include "app/window/Kontrolki.h"
#include "dialogs/FFolder.h"
#include "dialogs/FIarUrlPick.h"
#include "dialogs/FStartSerwis.h"
#include "dialogs/FZPlikuSciezka.h"
#include "dialogs/ProbaDzwieku.h"
#include "production/Dostarczenie.h"

namespace tolvak {

using namespace okno;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

/// One item of the kind selector: the keys and fields of its bed and ending, its switch and
/// the caption of the sounds group.
struct TForm1::Pozycja {
    const char* kluczPodkladu;
    const char* kluczZakonczenia;
    std::string Ustawienia::*podklad;
    std::string Ustawienia::*zakonczenie;
    const char* kluczPrzelacznika;
    bool Ustawienia::*przelacznik;
    const char* tytul;
    int64_t Ustawienia::*punktMixu;
    const char* kluczPunktuMixu;
};

namespace {

using U = Ustawienia;
constexpr const char* kOgolny = "Dźwięki dla serwisu ogólnego";
const std::array<TForm1::Pozycja, 6>& Pozycje() {
    static const std::array<TForm1::Pozycja, 6> pozycje{{
        {"SerwisPodklad", "SerwisZakonczenie", &U::SerwisPodklad, &U::SerwisZakonczenie,
         "CzyNews", &U::CzyNews, kOgolny, &U::StartSerwisu, "StartDzwiekuSerwisu"},
        {"SerwisSportPodklad", "SerwisSportZakonczenie", &U::SerwisSportPodklad,
         &U::SerwisSportZakonczenie, "CzySport", &U::CzySport,
         "Dźwięki dla serwisu sportowego (tylko Eurozet)", &U::StartSerwisuSport,
         "StartDzwiekuSerwisuSportowego"},
        {"SerwisEkonomiaPodklad", "SerwisEkonomiaZakonczenie", &U::SerwisEkonomiaPodklad,
         &U::SerwisEkonomiaZakonczenie, "CzyEkonomia", &U::CzyEkonomia,
         "Dźwięki dla serwisu ekonomicznego (tylko Eurozet)", &U::StartSerwisuEkonomia,
         "StartDzwiekuSerwisuEkonomicznego"},
        {"PogodaPodklad", "PogodaZakonczenie", &U::PogodaPodklad, &U::PogodaZakonczenie,
         "CzyPogoda", &U::CzyPogoda, "Dźwięki pogody (tylko Agora)", &U::StartPogody,
         "StartDzwiekuPogody"},
        {"SerwisPodklad", "SerwisZakonczenie", &U::SerwisPodklad, &U::SerwisZakonczenie,
         "CzyZPliku", &U::CzyZPliku, kOgolny, &U::StartSerwisu, "StartDzwiekuSerwisu"},
        {"SerwisPodklad", "SerwisZakonczenie", &U::SerwisPodklad, &U::SerwisZakonczenie,
         "CzyIAR", &U::CzyIAR, kOgolny, &U::StartSerwisu, "StartDzwiekuSerwisu"},
    }};
    return pozycje;
}
}  // namespace

const TForm1::Pozycja& TForm1::WybranaPozycja() const {
    const int i = RadioGroup2->ItemIndex();
    return Pozycje().at(static_cast<size_t>(i < 0 ? 0 : i));
}

// ---- reading the settings at the first showing ----

void TForm1::OdczytajKonfiguracje() {
    ustawienia_ = tolvak::OdczytajKonfiguracje(ini_);
    // The same general-news switch rule as every other mode, before the controls show it.
    JedenZrodloNews(ini_, ustawienia_, *log_, true);
    ustawienia_.konfiguracjaOdczytana = false;
    Ustawienia& u = ustawienia_;
    UstawPozycjePoczatkowa();
    LEFolderZapisu->setText(Q(u.FolderZapisu));
    const Pozycja& p = WybranaPozycja();
    LEPodklad->setText(Q(u.*p.podklad));
    LEZakonczenie->setText(Q(u.*p.zakonczenie));
    // Setting a control to a value other than its initial one runs its change handler, which
    // writes the value back (and, for general news on, switches the other two sources off).
    CheckBox1->setChecked(u.*p.przelacznik);
    ENazwaWynikowa->setText(Q(u.NazwaWynikowa));
    RGNazwaWynikowa->SetItemIndex(u.NazwaWynikowaTyp);
    RadioGroup1->SetItemIndex(u.FormatZapisu);
    log_->SetCzyLog(u.czyLog);
    SpinEdit1->SetValue(u.kompresjaPlikuZrodlowego);
    SpinEdit2->SetValue(u.kompresjaPlikuWynikowego);
    u.konfiguracjaOdczytana = true;
}

// ---- the hour matrix ----

void TForm1::RysujMatryce() {
    matryca_->Wczytaj();
    for (int d = Matryca::PierwszyDzien; d <= Matryca::OstatniDzien; ++d) {
        for (int h = Matryca::PierwszaGodzina; h <= Matryca::OstatniaGodzina; ++h) {
            const auto k = matryca_->KomorkaDla(d, h);
            auto* cell = new TShape(GroupBox5);
            cell->setObjectName(Q(k->nazwa));
            const KolorRGB c = k->Kolor();
            cell->SetKolor(QColor(c.r, c.g, c.b));
            cell->setGeometry(40 + 25 * (h - Matryca::PierwszaGodzina), 45 + 30 * (d - 1), 25, 25);
            cell->SetTag(k->tag);
            cell->OnMouseDown = [this](TShape* s) { Obsluz([this, s] { ZmienStatusGodziny(s); }); };
            cell->show();
        }
    }
}

void TForm1::ZmienStatusGodziny(TShape* komorka) {
    // The cell shows the new state even when the write fails (the error is reported).
    const bool chciana = [&] {
        try {
            return matryca_->ZmienStatusGodziny(komorka->Tag());
        } catch (...) {
            const KolorRGB c = matryca_->ZnajdzKomorke(komorka->objectName().toStdString())->Kolor();
            komorka->SetKolor(QColor(c.r, c.g, c.b));
            throw;
        }
    }();
    const KolorRGB c = chciana ? Matryca::KolorChciany : Matryca::KolorNiechciany;
    komorka->SetKolor(QColor(c.r, c.g, c.b));
}

// ---- the kind selector and its switch ----

void TForm1::RadioGroup2Click() {
    const Pozycja& p = WybranaPozycja();
    LEPodklad->setText(Q(ustawienia_.*p.podklad));
    LEZakonczenie->setText(Q(ustawienia_.*p.zakonczenie));
    GroupBox3->setTitle(QString::fromUtf8(p.tytul));
    CheckBox1->setChecked(ustawienia_.*p.przelacznik);  // a flip runs CheckBox1Click
}

void TForm1::CheckBox1Click() {
    Ustawienia& u = ustawienia_;
    const bool on = CheckBox1->isChecked();
    const int pozycja = RadioGroup2->ItemIndex();
    if (pozycja < 0 || pozycja >= static_cast<int>(Pozycje().size())) return;
    const Pozycja& p = Pozycje()[static_cast<size_t>(pozycja)];
    const std::optional<std::string> wylaczone = on ? PotwierdzPrzelaczenie(pozycja) : std::string();
    if (!wylaczone) return;
    // General news comes from one source at most: switching one on switches the other two off,
    // written in this order after the switch itself.
    const auto wylacz = [&](const char* k1, bool U::*p1, const char* k2, bool U::*p2) {
        u.*p1 = false;
        u.*p2 = false;
        ZapiszKlucz(k1, false);
        ZapiszKlucz(k2, false);
        if (!wylaczone->empty()) log_->DodajDoLoga(*wylaczone);
    };
    u.*p.przelacznik = on;
    ZapiszKlucz(p.kluczPrzelacznika, on);
    if (!on) return;
    if (pozycja == 0) {
        wylacz("CzyZPliku", &U::CzyZPliku, "CzyIAR", &U::CzyIAR);
    } else if (pozycja == 4) {
        wylacz("CzyNews", &U::CzyNews, "CzyIAR", &U::CzyIAR);
        TFZPlikuSciezka dialog(this, u, ini_, log_.get());
        dialog.exec();
    } else if (pozycja == 5) {
        wylacz("CzyNews", &U::CzyNews, "CzyZPliku", &U::CzyZPliku);
        TFIarUrlPick dialog(this, u, ini_);
        dialog.exec();
    }
}

void TForm1::CheckBox2Click() { ustawienia_.AgoraPodklad = CheckBox2->isChecked(); }

// ---- beds and endings ----

void TForm1::BBPodkladClick(QToolButton* sender) {
    const Pozycja& p = WybranaPozycja();
    const bool podklad = sender->property("tag").toInt() == 1;
    QLineEdit* pole = podklad ? LEPodklad : LEZakonczenie;
    const char* klucz = podklad ? p.kluczPodkladu : p.kluczZakonczenia;
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) return;
    pole->setText(OpenDialog1->selectedFiles().first());
    const std::string tekst = pole->text().toStdString();
    ZapiszKlucz(sekcja::Ustawienia, klucz, tekst);
    ustawienia_.*(podklad ? p.podklad : p.zakonczenie) = tekst;
    log_->DodajDoLoga(std::string("Ustawiono ") + klucz);
    // Kept as chosen, but the operator learns now what the next production would fail on.
    if (const auto powod = dialogi::PowodBrakuDzwieku(tekst)) {
        log_->DodajDoLoga(*powod);
        messageBox(*powod, "Uwaga", MsgButtons::Ok, MsgIcon::Warning);
    }
}

void TForm1::BBPodkladDelClick(QToolButton* sender) {
    const Pozycja& p = WybranaPozycja();
    const bool podklad = sender->property("tag").toInt() == 1;
    QLineEdit* pole = podklad ? LEPodklad : LEZakonczenie;
    const char* klucz = podklad ? p.kluczPodkladu : p.kluczZakonczenia;
    pole->clear();
    ZapiszKlucz(sekcja::Ustawienia, klucz, std::string());
    (ustawienia_.*(podklad ? p.podklad : p.zakonczenie)).clear();
    log_->DodajDoLoga(std::string("Usunięto ") + klucz);
}

void TForm1::BBPunktMixuClick() {
    const Pozycja& p = WybranaPozycja();
    const std::string podklad = LEPodklad->text().toStdString();
    std::error_code ec;
    if (podklad.empty() || !std::filesystem::is_regular_file(podklad, ec)) {
        messageBox("Wybierz podkład.", "Informacja", MsgButtons::Ok, MsgIcon::Information);
        BBPodkladClick(BBPodklad);
        return;
    }
    int64_t& punkt = ustawienia_.*p.punktMixu;
    {
        TFStartSerwis edytor(this, *this, podklad, p_.folderProgramu, punkt, audio_.Otwarte());
        if (!edytor.FormShow()) {
            log_->DodajDoLoga(edytor.Blad());
            return;
        }
        edytor.exec();
    }
    // The file holds 32 bits: the low ones of the point, whether or not it was saved.
    ZapiszKlucz(sekcja::Ustawienia, p.kluczPunktuMixu, static_cast<int32_t>(static_cast<uint32_t>(punkt)));
    log_->DodajDoLoga("Ustawiono StartDzwiekuSerwisu");
}

// ---- output folder, naming and format ----

void TForm1::BBFolderZapisuClick() {
    TFFolder dialog(this);
    dialog.FolderZapisu = LEFolderZapisu->text();
    dialog.exec();
    LEFolderZapisu->setText(dialog.FolderZapisu);
    const std::string folder = dialog.FolderZapisu.toStdString();
    ustawienia_.FolderZapisu = folder;
    ZapiszKlucz(sekcja::Ustawienia, "FolderZapisu", folder);
}

void TForm1::RGNazwaWynikowaClick() {
    const int i = RGNazwaWynikowa->ItemIndex();
    ZapiszKlucz(sekcja::Ustawienia, "NazwaWynikowaTyp", i);
    ustawienia_.NazwaWynikowaTyp = i;
    log_->DodajDoLoga("Zmieniono typ nazwy wynikowej.");
    ENazwaWynikowa->setEnabled(i == 0);
    if (i == 0) ENazwaWynikowa->setFocus(Qt::OtherFocusReason);
}

bool TForm1::eventFilter(QObject* obj, QEvent* e) {
    if (obj == ENazwaWynikowa && e->type() == QEvent::FocusOut) {
        // Leaving the field, not the window: switching to another program is no exit.
        const auto r = static_cast<QFocusEvent*>(e)->reason();
        if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason)
            Obsluz([this] { ENazwaWynikowaExit(); });
    }
    return QWidget::eventFilter(obj, e);
}

void TForm1::ENazwaWynikowaExit() {
    const QString nazwa = ENazwaWynikowa->text().trimmed();
    ENazwaWynikowa->setText(nazwa);
    // A name that would leave the output folder is refused as an empty one is.
    if (CzyDozwolonaNazwaWynikowa(nazwa.toStdString())) {
        ZapiszKlucz(sekcja::Ustawienia, "NazwaWynikowa", nazwa.toStdString());
        ustawienia_.NazwaWynikowa = nazwa.toStdString();
        log_->DodajDoLoga("Ustawiono nazwę wynikową.");
        return;
    }
    messageBox(nazwa.isEmpty() ? std::string("Nazwa pliku wynikowego nie może być pusta!")
                               : "Niedozwolona nazwa pliku wynikowego: " + nazwa.toStdString(),
               "Informacja", MsgButtons::Ok, MsgIcon::Information);
    ENazwaWynikowa->setText(QStringLiteral("serwis"));
    ENazwaWynikowa->setFocus(Qt::OtherFocusReason);
}

void TForm1::RadioGroup1Click() {
    const int i = RadioGroup1->ItemIndex();
    ZapiszKlucz(sekcja::Ustawienia, "FormatZapisu", i);
    ustawienia_.FormatZapisu = i;
}

void TForm1::SpinEdit1Change(TSpinEdit* sender) {
    const int v = sender->Value();
    if (v < sender->MinValue() || v > sender->MaxValue()) return;
    if (sender->Tag() == 0) {
        ustawienia_.kompresjaPlikuZrodlowego = v;
        ZapiszKlucz(sekcja::Kompresja, "PlikZrodlowy", v);
    } else {
        ustawienia_.kompresjaPlikuWynikowego = v;
        ZapiszKlucz(sekcja::Kompresja, "PlikWynikowy", v);
    }
}

void TForm1::StatusBar1Click() {
    messageBox(StatusBar1->PanelText().toStdString(), "", MsgButtons::Ok, MsgIcon::None);
}

}  // namespace tolvak
