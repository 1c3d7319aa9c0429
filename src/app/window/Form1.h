#pragma once
// TForm1, the main window: the manual fetch button, the last-delivered display, the progress
// area, the hour matrix, the status lamp, the sounds of each kind, the kind switches, the output
// format, the compression gains and the output folder and naming. It owns the core objects
// (settings record, log, matrix, sources, production run) and implements the core's window
// interface; its handlers do what the window's own rules say and delegate the rest.
//
// The widgets are built in code; every control's object name is its component name
// ("BitBtn1", "RadioGroup2", "mshape16"), so tests and tools find them with findChild.

#include <QWidget>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/StatusDisplay.h"
#include "app/window/UrzadzenieAudio.h"
#include "app/qt/QtTimer.h"
#include "platform/Clock.h"
#include "platform/Okno.h"
#include "schedule/Harmonogram.h"
#include "schedule/Matryca.h"
#include "schedule/StanPobran.h"

class QCheckBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QSystemTrayIcon;
class QToolButton;

namespace tolvak {

class Produkcja;
class Zrodla;

namespace okno {
class TRadioGroup;
class TShape;
class TSpinEdit;
class TStatusBar;
}  // namespace okno

/// What the window is started with.
struct ParametryOkna {
    std::filesystem::path folderProgramu;  // tolvak.ini, tolvak.dat, log.txt, work files
    std::filesystem::path folderRoboczy;   // where the fetched file lands
    const Clock* clock = nullptr;          // nullptr: the system clock
    bool bezAudio = false;                 // --no-audio: no sound device needed
};

class TForm1 : public QWidget, public Okno {
    Q_OBJECT
public:
    static constexpr int Szerokosc = 896, Wysokosc = 745;
    static constexpr int SC_MINIMIZE = 0xF020;

    struct Pozycja;  // one item of the kind selector

    explicit TForm1(ParametryOkna parametry);
    ~TForm1() override;

    // ---- start-up and shutdown ----
    /// The creation steps: formats, connectivity test, sound device, "Start programu". False
    /// when the program must end (its message box has been shown).
    bool FormCreate();
    /// Every showing: the settings and the matrix on the first one, the tray icon hidden,
    /// "Agora z podkładem" set.
    void FormShow();
    /// Writes the keys kept without a control, releases the sound device, logs the end.
    void FormClose();
    void WMSysCommand(int kod);
    void TrayIcon1Click();
    /// False in a session without a notification area: minimising then just minimises.
    void SetTrayDostepny(bool dostepny) { trayDostepny_ = dostepny; }

    // ---- settings ----
    void OdczytajKonfiguracje();
    void RysujMatryce();
    void ZmienStatusGodziny(okno::TShape* komorka);
    void RadioGroup2Click();
    void CheckBox1Click();
    void CheckBox2Click();
    void BBPodkladClick(QToolButton* sender);
    void BBPodkladDelClick(QToolButton* sender);
    void BBFolderZapisuClick();
    void RGNazwaWynikowaClick();
    void ENazwaWynikowaExit();
    void RadioGroup1Click();
    void SpinEdit1Change(okno::TSpinEdit* sender);
    void StatusBar1Click();
    /// "Punkt mixu": opens the mix point editor on the bed shown, or asks for a bed.
    void BBPunktMixuClick();
    /// Manual fetch (the scheduler's).
    void BitBtn1Click();
    /// The scheduler's lock: the busy flag, and BitBtn1, GroupBox5, GroupBox3, RadioGroup1 and
    /// GroupBox4 enabled (true) or disabled (false), in this order.
    void LockElements(bool stan);
    /// The busy flag is set: a check cycle, an intervention or a manual fetch is under way.
    bool Zajety() const;

    // ---- Okno ----
    void setAction(std::string_view text) override;
    void setGaugeMax(int64_t maximum) override;
    void setGaugePosition(int64_t position) override;
    void advanceGauge(int64_t delta) override;
    void setStatusBar(std::string_view text) override;
    void setLastDelivered(std::string_view text) override;
    void setMissedHour(std::string_view text) override;
    void setRunOutcome(const WynikAkcji& wynik) override;
    void setNextCheck(int sekundy) override;
    void Migotanie(bool tryb) override;
    MsgResult messageBox(std::string_view text, std::string_view caption,
                         MsgButtons buttons = MsgButtons::Ok,
                         MsgIcon icon = MsgIcon::None) override;
    void processMessages() override;
    /// Runs the event loop until `done` holds, sleeping while nothing is pending.
    void waitUntil(const std::function<bool()>& done) override;

    // ---- what the window owns ----
    Ustawienia& ustawienia() { return ustawienia_; }
    Log& log() { return *log_; }
    Matryca& matryca() { return *matryca_; }
    StatusDisplay& status() { return *status_; }
    Produkcja& produkcja() { return *produkcja_; }
    Harmonogram& harmonogram() { return *harmonogram_; }
    StanPobran& stan() { return *stan_; }
    const std::filesystem::path& PlikKonfiguracji() const { return ini_; }
    bool KonfiguracjaOdczytana() const { return ustawienia_.konfiguracjaOdczytana; }
    bool Zamykanie() const { return zamykanie_; }

    // ---- what the window tells of the station's state (Form1Stan.cpp) ----
    /// The tray's context menu: "Pokaż", "Pobierz ostatni", "Zamknij".
    QMenu* TrayMenu() const { return trayMenu_; }
    /// Called for every tray notification with its title and text (tests count them).
    std::function<void(const QString&, const QString&)> OnDymek;
    /// The file name that the selected kind's next delivery would get.
    QString NastepnaNazwa() const;

    /// The IAR address dialog that the start-up creates and keeps hidden.
    QWidget* UkrytyFIarUrlPick() const { return ukrytyIar_.get(); }
    void SetUkrytyFIarUrlPick(std::unique_ptr<QWidget> dialog);

protected:
    void showEvent(QShowEvent*) override;
    void closeEvent(QCloseEvent*) override;
    void changeEvent(QEvent*) override;
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    const Pozycja& WybranaPozycja() const;
    void Zbuduj();
    void ZbudujPanel1();
    void ZbudujDzwieki();
    void ZbudujUstawienia();
    void OdswiezStatus();
    /// The next file's name under the naming choice and the tray's menu.
    void ZbudujStan();
    /// The status bar's second panel, the tray's tooltip, icon and notifications.
    void OdswiezAlarmy();
    void OdswiezNastepnaNazwa();
    /// At the first showing: the last delivery and what stood, from "tolvak.dat".
    void WczytajOstatnie();
    /// The kind selector on the general-news source in use, without running the switch.
    void UstawPozycjePoczatkowa();
    /// Switching general-news source `pozycja` on while another one is on asks first.
    /// std::nullopt when the operator said no (the box is unticked again), else the log line
    /// naming the sources switched off (empty when none).
    std::optional<std::string> PotwierdzPrzelaczenie(int pozycja);
    void Dymek(const QString& tytul, const QString& tekst);
    /// What the scheduler's LockElements does to the controls.
    void UstawBlokade(bool stan);
    /// Runs a handler; an error that escapes it is shown as the workstation showed it.
    void Obsluz(const std::function<void()>& handler);
    void ZapiszKlucz(std::string_view sekcja, std::string_view klucz, const std::string& wartosc);
    void ZapiszKlucz(std::string_view klucz, bool wartosc);
    void ZapiszKlucz(std::string_view sekcja, std::string_view klucz, int wartosc);

    ParametryOkna p_;
    std::unique_ptr<Clock> wlasnyZegar_;
    const Clock& clock_;
    std::filesystem::path ini_;
    Ustawienia ustawienia_;
    std::unique_ptr<Log> log_;
    std::unique_ptr<Matryca> matryca_;
    // The four window timers: Timer1 check cycle, Timer2 blink, Timer3 countdown, Timer4
    // intervention. Declared before the display and the scheduler that drive them.
    QtTimer Timer1_, Timer2_, Timer3_, Timer4_;
    std::unique_ptr<StatusDisplay> status_;
    std::unique_ptr<StanPobran> stan_;
    std::unique_ptr<Zrodla> zrodla_;
    std::unique_ptr<Produkcja> produkcja_;
    std::unique_ptr<Harmonogram> harmonogram_;
    UrzadzenieAudio audio_;
    std::unique_ptr<QWidget> ukrytyIar_;
    bool trayDostepny_ = true;
    bool zamykanie_ = false;
    bool zamknij_ = false;    // FormClose ran: the next close is the real one
    QMenu* trayMenu_ = nullptr;
    QLabel* LNastepnyPlik = nullptr;
    std::deque<std::string> dymki_;  // the failures already notified, as kind + hour
    std::string ostatniBrak_;        // the missed hour already notified
    int ikonaAlarmu_ = -1;           // the tray icon shown: 1 alarm, 0 normal

    // Controls, named as their components.
    QWidget* Panel1 = nullptr;
    QToolButton* BitBtn1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* LOstPobrany = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* LAkcja = nullptr;
    QProgressBar* Gauge1 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    okno::TShape* Shape1 = nullptr;
    QLabel* LShapeInfo = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLineEdit* LEPodklad = nullptr;
    QLineEdit* LEZakonczenie = nullptr;
    QToolButton* BBPodklad = nullptr;
    QToolButton* BBZakonczenie = nullptr;
    QToolButton* BBPodkladDel = nullptr;
    QToolButton* BBZakonczenieDel = nullptr;
    QToolButton* BBPunktMixu = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    okno::TRadioGroup* RadioGroup2 = nullptr;
    okno::TRadioGroup* RadioGroup1 = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    okno::TSpinEdit* SpinEdit1 = nullptr;
    okno::TSpinEdit* SpinEdit2 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QLineEdit* LEFolderZapisu = nullptr;
    QToolButton* BBFolderZapisu = nullptr;
    okno::TRadioGroup* RGNazwaWynikowa = nullptr;
    QLineEdit* ENazwaWynikowa = nullptr;
    okno::TStatusBar* StatusBar1 = nullptr;
    QFileDialog* OpenDialog1 = nullptr;
    QSystemTrayIcon* TrayIcon1 = nullptr;
};

}  // namespace tolvak
