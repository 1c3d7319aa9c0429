// TForm1: building the controls. Positions are pixels at 96 dpi relative to the parent; Qt's
// device-pixel ratio scales them on denser screens.

#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSystemTrayIcon>
#include <QToolButton>

#include "app/window/Form1.h"
#include "app/window/Kontrolki.h"
#include "app/window/Zasoby.h"

namespace tolvak {

using namespace okno;

namespace {

QLabel* Etykieta(QWidget* parent, const char* name, const QString& text, int x, int y,
                 int w = -1, int h = 13) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    if (w < 0) w = l->fontMetrics().horizontalAdvance(text) + 2;
    l->setGeometry(x, y, w, h);
    return l;
}

QGroupBox* Grupa(QWidget* parent, const char* name, const QString& caption, const QRect& g) {
    auto* b = new QGroupBox(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(g);
    return b;
}

QToolButton* PrzyciskZObrazkiem(QWidget* parent, const char* name, const QRect& g,
                                const QString& hint, const QIcon& obrazek, int tag = 0) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(g);
    b->setToolTip(hint);
    b->setIcon(obrazek);
    b->setIconSize(QSize(16, 16));
    b->setProperty("tag", tag);
    return b;
}

}  // namespace

void TForm1::Zbuduj() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Pobieranie serwisów v1.36"));
    setWindowIcon(Zasoby::Ikona());
    // Fixed single border, system menu and minimise button only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Szerokosc, Wysokosc);
    setFont(Czcionka(11));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    ZbudujPanel1();

    GroupBox5 = Grupa(this, "GroupBox5", QStringLiteral("Matryca pobierania automatycznego"),
                      QRect(8, 111, 481, 258));
    // Captions of the matrix: hours over their columns, weekdays right-aligned before the rows.
    for (int h = Matryca::PierwszaGodzina; h <= Matryca::OstatniaGodzina; ++h) {
        auto* l = new QLabel(QString::number(h), GroupBox5);
        l->setObjectName(QStringLiteral("LGodzina%1").arg(h));
        l->setFont(Czcionka(11, true));
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        l->setGeometry(40 + 25 * (h - Matryca::PierwszaGodzina), 30, 25, 13);
    }
    for (int d = Matryca::PierwszyDzien; d <= Matryca::OstatniDzien; ++d) {
        auto* l = new QLabel(QString::fromUtf8(Matryca::NazwyDni[static_cast<size_t>(d - 1)].data(),
                                               static_cast<int>(Matryca::NazwyDni[static_cast<size_t>(d - 1)].size())),
                             GroupBox5);
        l->setObjectName(QStringLiteral("LDzien%1").arg(d));
        l->setFont(Czcionka(11, true));
        l->setAlignment(Qt::AlignRight | Qt::AlignTop);
        l->setGeometry(0, 49 + 30 * (d - 1), 34, 13);
    }

    Shape1 = new TShape(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(8, 375, 481, 65);
    Shape1->SetKolor(QColor(0, 128, 0));
    LShapeInfo = new QLabel(QStringLiteral("Pobieranie..."), this);
    LShapeInfo->setObjectName(QStringLiteral("LShapeInfo"));
    LShapeInfo->setGeometry(29, 395, 460, 25);
    LShapeInfo->setFont(Czcionka(21, true));
    LShapeInfo->setAlignment(Qt::AlignCenter);
    LShapeInfo->setAttribute(Qt::WA_TranslucentBackground);
    LShapeInfo->setAttribute(Qt::WA_TransparentForMouseEvents);
    LShapeInfo->raise();

    ZbudujDzwieki();
    ZbudujUstawienia();

    StatusBar1 = new TStatusBar(this, 200);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, Wysokosc - 19, Szerokosc, 19);
    StatusBar1->SetPanelText(QStringLiteral("Gotowy"));

    OpenDialog1 = DialogOtwarcia(this, "OpenDialog1", QStringLiteral("Wybierz plik..."),
                                 {QStringLiteral("Pliki dźwiękowe (mp2,mp3,wav) (*.mp2 *.mp3 *.wav)")},
                                 true);

    TrayIcon1 = new QSystemTrayIcon(Zasoby::Ikona(), this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setToolTip(QStringLiteral("Pobieranie serwisów"));
}

void TForm1::ZbudujPanel1() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(0, 0, Szerokosc, 105);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1 = panel;

    BitBtn1 = new QToolButton(Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(8, 9, 97, 89);
    BitBtn1->setText(QStringLiteral("Pobierz ostatni"));
    BitBtn1->setFont(Czcionka(11, true));
    BitBtn1->setIcon(Zasoby::Obrazek("pobierz"));
    BitBtn1->setIconSize(QSize(64, 64));
    BitBtn1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    GroupBox1 = Grupa(Panel1, "GroupBox1", QStringLiteral("Ostatnio pobrany"),
                      QRect(125, 8, 172, 89));
    LOstPobrany = new QLabel(QStringLiteral("---"), GroupBox1);
    LOstPobrany->setObjectName(QStringLiteral("LOstPobrany"));
    LOstPobrany->setGeometry(13, 24, 140, 47);
    LOstPobrany->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    LOstPobrany->setWordWrap(true);
    LOstPobrany->setFont(Czcionka(11, true));

    GroupBox2 = Grupa(Panel1, "GroupBox2", QStringLiteral("Akcja"), QRect(303, 8, 585, 89));
    LAkcja = Etykieta(GroupBox2, "LAkcja", QStringLiteral("Czekam..."), 20, 24, 549);
    Gauge1 = new QProgressBar(GroupBox2);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setGeometry(20, 43, 549, 28);
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge1->setFormat(QStringLiteral("%p%"));
    Gauge1->setAlignment(Qt::AlignCenter);
}

void TForm1::ZbudujDzwieki() {
    GroupBox3 = Grupa(this, "GroupBox3", QStringLiteral("Dźwięki dla serwisu ogólnego"),
                      QRect(495, 111, 393, 189));
    LEPodklad = LabeledEdit(GroupBox3, "LEPodklad", QRect(16, 40, 249, 21),
                            QStringLiteral("Podkład"), true);
    LEPodklad->setToolTip(QStringLiteral("Podkład serwisowy"));
    LEZakonczenie = LabeledEdit(GroupBox3, "LEZakonczenie", QRect(16, 88, 249, 21),
                                QStringLiteral("Zakończenie"), true);
    LEZakonczenie->setToolTip(QStringLiteral("Zakończenie serwisu"));
    const QIcon plik = Zasoby::Obrazek("plik"), usun = Zasoby::Obrazek("usun");
    BBPodklad = PrzyciskZObrazkiem(GroupBox3, "BBPodklad", QRect(271, 37, 26, 25),
                                   QStringLiteral("Wybierz podkład"), plik, 1);
    BBZakonczenie = PrzyciskZObrazkiem(GroupBox3, "BBZakonczenie", QRect(271, 84, 26, 25),
                                       QStringLiteral("Wybierz zakończenie"), plik, 2);
    BBPodkladDel = PrzyciskZObrazkiem(GroupBox3, "BBPodkladDel", QRect(299, 37, 26, 25),
                                      QStringLiteral("Usuń podkład"), usun, 1);
    BBZakonczenieDel = PrzyciskZObrazkiem(GroupBox3, "BBZakonczenieDel", QRect(299, 84, 26, 25),
                                          QStringLiteral("Usuń zakończenie"), usun, 2);
    BBPunktMixu = new QToolButton(GroupBox3);
    BBPunktMixu->setObjectName(QStringLiteral("BBPunktMixu"));
    BBPunktMixu->setGeometry(331, 37, 58, 25);
    BBPunktMixu->setText(QStringLiteral("Punkt mixu"));
    // Qt's button frame leaves the caption fewer pixels than the workstation's did.
    BBPunktMixu->setFont(Czcionka(10));
    BBPunktMixu->setToolTip(
        QStringLiteral("Ustaw punkt na podkładzie w którym nastąpi start serwisu"));

    CheckBox1 = new QCheckBox(QStringLiteral("Pobieraj ten rodzaj"), GroupBox3);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(16, 121, 200, 17);
    CheckBox2 = new QCheckBox(QStringLiteral("Agora z podkładem"), GroupBox3);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(16, 152, 200, 17);

    RadioGroup2 = new TRadioGroup(this, "RadioGroup2", QStringLiteral("Rodzaje serwisów"),
                                  {QStringLiteral("Newsy"), QStringLiteral("Sport (Eurozet/Agora)"),
                                   QStringLiteral("Ekonomia (tylko Eurozet)"),
                                   QStringLiteral("Pogoda (tylko Agora)"),
                                   QStringLiteral("Newsy z pliku"), QStringLiteral("Newsy IAR")},
                                  2);
    RadioGroup2->setGeometry(495, 306, 393, 123);
    RadioGroup2->SetItemIndex(0);
}

void TForm1::ZbudujUstawienia() {
    RadioGroup1 = new TRadioGroup(this, "RadioGroup1", QStringLiteral("Format wyjściowy"),
                                  {QStringLiteral("wav"), QStringLiteral("mp3")});
    RadioGroup1->setGeometry(495, 435, 154, 67);
    RadioGroup1->SetItemIndex(0);

    GroupBox6 = Grupa(this, "GroupBox6", QStringLiteral("Ustawienia kompresji audio"),
                      QRect(655, 435, 233, 67));
    auto* l25 = Etykieta(GroupBox6, "Label25", QStringLiteral("Wartość z przedziału -60 dB do 60 dB"),
                         13, 15, 210, 11);
    l25->setFont(Czcionka(9));
    Etykieta(GroupBox6, "Label26", QStringLiteral("źródło:"), 15, 34);
    SpinEdit1 = new TSpinEdit(GroupBox6, -60, 60);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setGeometry(56, 32, 49, 22);
    SpinEdit1->SetTag(0);
    Etykieta(GroupBox6, "Label27", QStringLiteral("gotowy:"), 122, 34);
    SpinEdit2 = new TSpinEdit(GroupBox6, -60, 60);
    SpinEdit2->setObjectName(QStringLiteral("SpinEdit2"));
    SpinEdit2->setGeometry(168, 32, 49, 22);
    SpinEdit2->SetTag(1);

    GroupBox4 = Grupa(this, "GroupBox4", QStringLiteral("Gotowy serwis"), QRect(495, 508, 393, 203));
    LEFolderZapisu = LabeledEdit(GroupBox4, "LEFolderZapisu", QRect(16, 40, 330, 21),
                                 QStringLiteral("Folder zapisu gotowego serwisu"), true);
    LEFolderZapisu->setToolTip(QStringLiteral("Folder zapisu gotowego serwisu"));
    BBFolderZapisu = PrzyciskZObrazkiem(GroupBox4, "BBFolderZapisu", QRect(352, 37, 26, 25),
                                        QString(), Zasoby::Obrazek("folder"));
    RGNazwaWynikowa = new TRadioGroup(GroupBox4, "RGNazwaWynikowa",
                                      QStringLiteral("Nazwa wynikowa serwisu"),
                                      {QStringLiteral("stała:"), QStringLiteral("YYYY-MM-DD_HH"),
                                       QStringLiteral("HH_MM")});
    RGNazwaWynikowa->setGeometry(16, 67, 362, 105);
    RGNazwaWynikowa->SetItemIndex(1);
    ENazwaWynikowa = new QLineEdit(QStringLiteral("serwis"), GroupBox4);
    ENazwaWynikowa->setObjectName(QStringLiteral("ENazwaWynikowa"));
    ENazwaWynikowa->setGeometry(72, 92, 113, 21);
    ENazwaWynikowa->setEnabled(false);
    ENazwaWynikowa->raise();
}

}  // namespace tolvak
