// TForm1: construction, the window interface of the core, the lock of the setting controls,
// start-up, showing, minimising to the notification area and closing.

#include "app/window/Form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <exception>

#include "app/qt/QtEventPump.h"
#include "app/qt/QtStatusDisplay.h"
#include "app/window/Kontrolki.h"
#include "platform/Ini.h"
#include "platform/Internet.h"
#include "platform/Regional.h"
#include "production/Produkcja.h"
#include "production/ZajecieFolderu.h"
#include "schedule/KontrolaUstawien.h"
#include "sources/Zrodla.h"

namespace tolvak {

using namespace okno;

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

}  // namespace

TForm1::TForm1(ParametryOkna parametry)
    : QWidget(nullptr),
      p_(std::move(parametry)),
      wlasnyZegar_(p_.clock ? nullptr : std::make_unique<SystemClock>()),
      clock_(p_.clock ? *p_.clock : *wlasnyZegar_),
      ini_(p_.folderProgramu / NazwaPlikuKonfiguracji) {
    log_ = std::make_unique<Log>(p_.folderProgramu / NazwaPlikuLogu, clock_,
                                 CurrentRegionalFormats());
    matryca_ = std::make_unique<Matryca>(ini_);
    Timer1_.qtimer().setObjectName(QStringLiteral("Timer1"));
    Timer2_.qtimer().setObjectName(QStringLiteral("Timer2"));
    Timer3_.qtimer().setObjectName(QStringLiteral("Timer3"));
    Timer4_.qtimer().setObjectName(QStringLiteral("Timer4"));
    status_ = std::make_unique<QtStatusDisplay>(clock_, Timer2_, Timer3_);
    stan_ = std::make_unique<StanPobran>(p_.folderProgramu / NazwaPlikuStanu, *matryca_, *log_, clock_);
    zrodla_ = std::make_unique<Zrodla>(
        KontekstZrodel{ustawienia_, p_.folderProgramu, p_.folderRoboczy, *log_, clock_, *this});
    produkcja_ = std::make_unique<Produkcja>(KontekstProdukcji{
        ustawienia_, p_.folderProgramu, p_.folderRoboczy, *log_, clock_, *this, *zrodla_});
    trayDostepny_ = QSystemTrayIcon::isSystemTrayAvailable();

    Zbuduj();
    ZbudujStan();

    // The window paints the status model; the scheduler drives the window's lock and reads the
    // fields its presence test checks.
    status_->OnChange = [this] { OdswiezStatus(); };
    harmonogram_ = std::make_unique<Harmonogram>(
        KontekstHarmonogramu{ustawienia_, *stan_, *zrodla_,
                             [this](const std::string& rodzaj, const std::string& link, TrybAkcji t) {
                                 return produkcja_->AkcjaSerwis(rodzaj, link, t);
                             },
                             *log_, clock_, *this},
        Timer1_, Timer4_);
    harmonogram_->OnLockElements = [this](bool stan) { UstawBlokade(stan); };
    harmonogram_->PolaOkna = [this] {
        return PolaObecnosci{LEPodklad->text().toStdString(), LEZakonczenie->text().toStdString(),
                             LEFolderZapisu->text().toStdString()};
    };

    // Handlers, connected once the controls hold their initial states.
    connect(BitBtn1, &QToolButton::clicked, this, [this] { Obsluz([this] { BitBtn1Click(); }); });
    connect(RadioGroup2, &TRadioGroup::Click, this, [this] { Obsluz([this] { RadioGroup2Click(); }); });
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { Obsluz([this] { CheckBox1Click(); }); });
    connect(CheckBox2, &QCheckBox::toggled, this, [this] { Obsluz([this] { CheckBox2Click(); }); });
    for (QToolButton* b : {BBPodklad, BBZakonczenie})
        connect(b, &QToolButton::clicked, this, [this, b] { Obsluz([this, b] { BBPodkladClick(b); }); });
    for (QToolButton* b : {BBPodkladDel, BBZakonczenieDel})
        connect(b, &QToolButton::clicked, this,
                [this, b] { Obsluz([this, b] { BBPodkladDelClick(b); }); });
    connect(BBPunktMixu, &QToolButton::clicked, this, [this] { Obsluz([this] { BBPunktMixuClick(); }); });
    connect(BBFolderZapisu, &QToolButton::clicked, this,
            [this] { Obsluz([this] { BBFolderZapisuClick(); }); });
    connect(RGNazwaWynikowa, &TRadioGroup::Click, this,
            [this] { Obsluz([this] { RGNazwaWynikowaClick(); }); });
    ENazwaWynikowa->installEventFilter(this);
    connect(RadioGroup1, &TRadioGroup::Click, this, [this] { Obsluz([this] { RadioGroup1Click(); }); });
    for (TSpinEdit* s : {SpinEdit1, SpinEdit2})
        connect(s, &TSpinEdit::Change, this, [this, s] { Obsluz([this, s] { SpinEdit1Change(s); }); });
    connect(StatusBar1, &TStatusBar::Clicked, this, [this] { Obsluz([this] { StatusBar1Click(); }); });
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick) TrayIcon1Click();
    });
}

TForm1::~TForm1() = default;

void TForm1::SetUkrytyFIarUrlPick(std::unique_ptr<QWidget> dialog) { ukrytyIar_ = std::move(dialog); }

// ---- handlers' plumbing ----

void TForm1::Obsluz(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        // An error escaping a handler (a settings file that cannot be written) reaches the
        // operator as a message box; the control keeps its new value.
        messageBox(e.what(), "Błąd", MsgButtons::Ok, MsgIcon::Error);
    }
}

void TForm1::ZapiszKlucz(std::string_view sekcja, std::string_view klucz, const std::string& wartosc) {
    IniFile(ini_).WriteString(sekcja, klucz, wartosc);
}

void TForm1::ZapiszKlucz(std::string_view klucz, bool wartosc) {
    IniFile(ini_).WriteBool(sekcja::Ustawienia, klucz, wartosc);
}

void TForm1::ZapiszKlucz(std::string_view sekcja, std::string_view klucz, int wartosc) {
    IniFile(ini_).WriteInteger(sekcja, klucz, wartosc);
}

// ---- the lock of the setting controls ----

void TForm1::LockElements(bool stan) { harmonogram_->LockElements(stan); }

void TForm1::UstawBlokade(bool stan) {
    for (QWidget* w : {static_cast<QWidget*>(BitBtn1), static_cast<QWidget*>(GroupBox5),
                       static_cast<QWidget*>(GroupBox3), static_cast<QWidget*>(RadioGroup1),
                       static_cast<QWidget*>(GroupBox4)})
        w->setEnabled(stan);
}

bool TForm1::Zajety() const { return !harmonogram_->BitBtn1Enabled(); }

void TForm1::BitBtn1Click() { harmonogram_->BitBtn1Click(); }

// ---- Okno ----

// The status model holds the elements; its change notification paints them.
void TForm1::setAction(std::string_view text) { status_->setAction(text); }
void TForm1::setGaugeMax(int64_t maximum) { status_->setGaugeMax(maximum); }
void TForm1::setGaugePosition(int64_t position) { status_->setGaugePosition(position); }
void TForm1::advanceGauge(int64_t delta) { status_->advanceGauge(delta); }
void TForm1::setStatusBar(std::string_view text) { status_->setStatusBar(text); }
void TForm1::setLastDelivered(std::string_view text) { status_->setLastDelivered(text); }
void TForm1::setMissedHour(std::string_view text) { status_->setMissedHour(text); }
void TForm1::Migotanie(bool tryb) { status_->Migotanie(tryb); }

void TForm1::OdswiezStatus() {
    // Only what changed is set again: a label set to its own text still repaints.
    const auto tekst = [](QLabel* l, const std::string& s) {
        const QString t = Q(s);
        if (l->text() != t) l->setText(t);
    };
    // A failure's reason with a long path is cut with "…"; its tooltip holds it whole.
    if (const QString t = Q(status_->LAkcja()); LAkcja->toolTip() != t) {
        LAkcja->setToolTip(t);
        LAkcja->setText(LAkcja->fontMetrics().elidedText(t, Qt::ElideMiddle, LAkcja->width()));
    }
    tekst(LOstPobrany, status_->LOstPobrany());
    if (const QString t = Q(status_->StatusBar1()); StatusBar1->PanelText() != t)
        StatusBar1->SetPanelText(t);
    const int64_t max = status_->Gauge1Max();
    const int procent = max > 0 ? static_cast<int>(status_->Gauge1Position() * 100 / max) : 0;
    if (Gauge1->value() != procent) Gauge1->setValue(procent);
    const uint32_t c = status_->Shape1Color();
    Shape1->SetKolor(QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
    tekst(LShapeInfo, status_->LShapeInfo());
    OdswiezAlarmy();
    OdswiezNastepnaNazwa();  // the coming hour moves on
}

MsgResult TForm1::messageBox(std::string_view text, std::string_view caption, MsgButtons buttons,
                             MsgIcon icon) {
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setWindowTitle(caption.empty() ? QStringLiteral("Pobieranie serwisów") : Q(caption));
    box.setText(Q(text));
    switch (icon) {
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (buttons) {
        case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel: return MsgResult::Cancel;
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        default: return MsgResult::Ok;
    }
}

void TForm1::processMessages() { QtEventPump::processMessages(); }

void TForm1::waitUntil(const std::function<bool()>& done) { QtEventPump::waitUntil(done); }

// ---- start-up ----

bool TForm1::FormCreate() {
    // The workstation's regional settings (LC_TIME) for the log and the status texts; `fs` is
    // built from them where the state file and the output names need it. The window library
    // keeps its own copy of the process-wide settings, so it reads them itself.
    SetRegionalFormats(RegionalneFormatyZSrodowiska());
    log_->SetFormats(CurrentRegionalFormats());
    if (!CzyJestInternet()) {
        messageBox("Brak dostępu do internetu.", "Błąd", MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    if (!p_.bezAudio && !audio_.Otworz()) {
        // The workstation's text first; the second line says how to go on without a card.
        messageBox("Błąd inicjacji urządzenia audio\n"
                   "Polecenie tolvak --no-audio uruchamia program bez odtwarzania dźwięku.",
                   "Błąd", MsgButtons::Ok, MsgIcon::Error);
        log_->DodajDoLoga("Błąd inicjacji urządzenia audio");
        return false;
    }
    ustawienia_.konfiguracjaOdczytana = false;
    log_->SetCzyLog(true);
    log_->DodajDoLoga("Start programu");
    // Centred on the screen.
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect r = s->availableGeometry();
        move(r.center() - QPoint(Szerokosc / 2, Wysokosc / 2));
    }
    return true;
}

void TForm1::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TForm1::FormShow() {
    if (!ustawienia_.konfiguracjaOdczytana) {
        OdczytajKonfiguracje();
        RysujMatryce();
        WczytajOstatnie();
        // The window holds the program folder: what killed runs left there is stale.
        UsunPozostawionePliki(p_.folderProgramu, p_.folderRoboczy, ustawienia_.FolderZapisu, *log_);
        ZalogujUwagi(SprawdzUstawienia(ini_), *log_);
    }
    TrayIcon1->hide();
    CheckBox2->setChecked(ustawienia_.AgoraPodklad);
}

// ---- the notification area ----

void TForm1::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized))
        WMSysCommand(SC_MINIMIZE);
}

void TForm1::WMSysCommand(int kod) {
    if (kod != SC_MINIMIZE) return;
    // Without a notification area the icon could never bring the window back: the window is
    // then only minimised.
    if (!trayDostepny_) return;
    TrayIcon1->show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    hide();
}

void TForm1::TrayIcon1Click() {
    showNormal();
    raise();
    activateWindow();
}

// ---- closing ----

void TForm1::closeEvent(QCloseEvent* e) {
    if (!zamknij_) {
        if (Zajety()) {
            // The work under way is let finish (no further kind, no new cycle); the window
            // closes when it ends.
            zamykanie_ = true;
            harmonogram_->ZatrzymajPoBiezacej();
            // A transfer under way is abandoned at once; an audio production still finishes.
            zrodla_->PrzerwijPrzesyly();
            harmonogram_->OnKoniecPracy = [this] { QTimer::singleShot(0, this, [this] { close(); }); };
            setWindowTitle(QStringLiteral("Pobieranie serwisów v1.36 - zamykanie..."));
            setStatusBar("Zamykanie programu po zakończeniu pobierania...");
            e->ignore();
            return;
        }
        zamknij_ = true;
        FormClose();
        // Closed from the tray (a signal, or the end of a production asked to close): no
        // visible window's closing would end the event loop.
        if (!isVisible()) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    TrayIcon1->hide();
    e->accept();
}

void TForm1::FormClose() {
    // A write that fails is reported; the device is released and the end logged all the same.
    Obsluz([this] { ZapiszPrzyZamknieciu(ini_, ustawienia_); });
    audio_.Zwolnij();
    log_->DodajDoLoga("Zamknięcie programu.");
}

}  // namespace tolvak
