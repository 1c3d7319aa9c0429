// The main window's layout: every control where the layout table puts it (pixels at 96 dpi,
// device-pixel ratio 1), with its parent, texts, hints and initial state.

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "OknoTestowe.h"
#include "app/window/Kontrolki.h"
#include "dialogs/FFolder.h"
#include "dialogs/FIarUrlPick.h"
#include "dialogs/FStartSerwis.h"
#include "dialogs/FZPlikuSciezka.h"

namespace tolvak::test {
namespace {

using okno::TRadioGroup;
using okno::TShape;

class UkladTest : public OknoTest {};

TEST_F(UkladTest, EveryControlSitsWhereTheLayoutPutsIt) {
    Uruchom();
    ASSERT_EQ(okno->devicePixelRatio(), 1);
    struct Miejsce {
        const char* nazwa;
        const char* rodzic;
        QRect g;
    };
    const Miejsce tabela[] = {
        {"Panel1", "Form1", {0, 0, 896, 105}},
        {"BitBtn1", "Panel1", {8, 9, 97, 89}},
        {"GroupBox1", "Panel1", {125, 8, 172, 89}},
        {"LOstPobrany", "GroupBox1", {13, 24, 140, 47}},
        {"GroupBox2", "Panel1", {303, 8, 585, 89}},
        {"Gauge1", "GroupBox2", {20, 43, 549, 28}},
        {"GroupBox5", "Form1", {8, 111, 481, 258}},
        {"Shape1", "Form1", {8, 375, 481, 65}},
        {"LShapeInfo", "Form1", {29, 395, 460, 25}},
        {"GroupBox3", "Form1", {495, 111, 393, 189}},
        {"LEPodklad", "GroupBox3", {16, 40, 249, 21}},
        {"LEZakonczenie", "GroupBox3", {16, 88, 249, 21}},
        {"BBPodklad", "GroupBox3", {271, 37, 26, 25}},
        {"BBZakonczenie", "GroupBox3", {271, 84, 26, 25}},
        {"BBPodkladDel", "GroupBox3", {299, 37, 26, 25}},
        {"BBZakonczenieDel", "GroupBox3", {299, 84, 26, 25}},
        {"BBPunktMixu", "GroupBox3", {331, 37, 58, 25}},
        {"RadioGroup2", "Form1", {495, 306, 393, 123}},
        {"RadioGroup1", "Form1", {495, 435, 154, 67}},
        {"GroupBox6", "Form1", {655, 435, 233, 67}},
        {"SpinEdit1", "GroupBox6", {56, 32, 49, 22}},
        {"SpinEdit2", "GroupBox6", {168, 32, 49, 22}},
        {"GroupBox4", "Form1", {495, 508, 393, 203}},
        {"LEFolderZapisu", "GroupBox4", {16, 40, 330, 21}},
        {"BBFolderZapisu", "GroupBox4", {352, 37, 26, 25}},
        {"RGNazwaWynikowa", "GroupBox4", {16, 67, 362, 105}},
        {"ENazwaWynikowa", "GroupBox4", {72, 92, 113, 21}},
        {"StatusBar1", "Form1", {0, 726, 896, 19}},
        // Controls placed by their top-left corner only.
        {"LAkcja", "GroupBox2", {20, 24, -1, -1}},
        {"CheckBox1", "GroupBox3", {16, 121, -1, -1}},
        {"CheckBox2", "GroupBox3", {16, 152, -1, -1}},
        {"Label25", "GroupBox6", {13, 15, -1, -1}},
        {"Label26", "GroupBox6", {15, 34, -1, -1}},
        {"Label27", "GroupBox6", {122, 34, -1, -1}},
    };
    EXPECT_EQ(okno->size(), QSize(896, 745));
    for (const auto& m : tabela) {
        auto* w = Kontrolka<QWidget>(m.nazwa);
        if (!w) continue;
        EXPECT_EQ(w->parentWidget()->objectName().toStdString(), m.rodzic) << m.nazwa;
        if (m.g.width() < 0) {
            EXPECT_EQ(w->pos(), m.g.topLeft()) << m.nazwa;
        } else {
            EXPECT_EQ(w->geometry(), m.g) << m.nazwa;
        }
    }
    // The matrix: 119 cells of 25 x 25, no gap between columns and 5 pixels between rows.
    EXPECT_EQ(okno->findChildren<TShape*>(QRegularExpression("^mshape")).size(), 119);
    EXPECT_EQ(Kontrolka<TShape>("mshape16")->geometry(), QRect(40, 45, 25, 25));
    EXPECT_EQ(Kontrolka<TShape>("mshape110")->geometry(), QRect(140, 45, 25, 25));
    EXPECT_EQ(Kontrolka<TShape>("mshape722")->geometry(), QRect(440, 225, 25, 25));
    EXPECT_EQ(Kontrolka<TShape>("mshape722")->parentWidget()->objectName(), "GroupBox5");
    EXPECT_EQ(Kontrolka<TShape>("mshape722")->Tag(), 722);
    EXPECT_EQ(okno->findChild<QWidget*>("mshape723"), nullptr);
    EXPECT_EQ(okno->findChild<QWidget*>("mshape15"), nullptr);
}

TEST_F(UkladTest, TextsHintsAndInitialStates) {
    Uruchom();
    EXPECT_EQ(okno->windowTitle(), "Pobieranie serwisów v1.36");
    EXPECT_EQ(Kontrolka<QToolButton>("BitBtn1")->text(), "Pobierz ostatni");
    EXPECT_TRUE(Kontrolka<QToolButton>("BitBtn1")->font().bold());
    EXPECT_EQ(Kontrolka<QToolButton>("BitBtn1")->iconSize(), QSize(64, 64));
    EXPECT_EQ(Kontrolka<QGroupBox>("GroupBox1")->title(), "Ostatnio pobrany");
    EXPECT_EQ(Kontrolka<QLabel>("LOstPobrany")->text(), "---");
    EXPECT_EQ(Kontrolka<QLabel>("LAkcja")->text(), "Czekam...");
    EXPECT_EQ(Kontrolka<QProgressBar>("Gauge1")->value(), 0);
    EXPECT_EQ(Kontrolka<QLabel>("LShapeInfo")->text(), "Pobieranie...");
    EXPECT_EQ(Kontrolka<QLabel>("LShapeInfo")->font().pixelSize(), 21);
    EXPECT_EQ(Kontrolka<TShape>("Shape1")->Kolor(), QColor(0, 128, 0));
    EXPECT_EQ(Kontrolka<QGroupBox>("GroupBox3")->title(), "Dźwięki dla serwisu ogólnego");
    EXPECT_EQ(Kontrolka<QLabel>("LEPodkladLabel")->text(), "Podkład");
    EXPECT_EQ(Kontrolka<QLineEdit>("LEPodklad")->toolTip(), "Podkład serwisowy");
    EXPECT_TRUE(Kontrolka<QLineEdit>("LEPodklad")->isReadOnly());
    EXPECT_EQ(Kontrolka<QLineEdit>("LEZakonczenie")->toolTip(), "Zakończenie serwisu");
    EXPECT_EQ(Kontrolka<QToolButton>("BBPodklad")->toolTip(), "Wybierz podkład");
    EXPECT_EQ(Kontrolka<QToolButton>("BBZakonczenieDel")->toolTip(), "Usuń zakończenie");
    EXPECT_EQ(Kontrolka<QToolButton>("BBZakonczenie")->property("tag").toInt(), 2);
    EXPECT_EQ(Kontrolka<QToolButton>("BBPunktMixu")->toolTip(),
              "Ustaw punkt na podkładzie w którym nastąpi start serwisu");
    EXPECT_FALSE(Kontrolka<QCheckBox>("CheckBox1")->isChecked());
    EXPECT_EQ(Kontrolka<QCheckBox>("CheckBox2")->text(), "Agora z podkładem");
    auto* rodzaje = Kontrolka<TRadioGroup>("RadioGroup2");
    ASSERT_EQ(rodzaje->Count(), 6);
    EXPECT_EQ(rodzaje->ItemIndex(), 0);
    EXPECT_EQ(rodzaje->Item(4)->text(), "Newsy z pliku");
    // Two columns: the fourth item starts the second.
    EXPECT_GT(rodzaje->Item(3)->x(), rodzaje->Item(2)->x());
    EXPECT_EQ(Kontrolka<TRadioGroup>("RadioGroup1")->ItemIndex(), 0);
    EXPECT_EQ(Kontrolka<QLabel>("Label25")->font().pixelSize(), 9);
    EXPECT_EQ(Kontrolka<QLineEdit>("LEFolderZapisu")->toolTip(), "Folder zapisu gotowego serwisu");
    EXPECT_EQ(Kontrolka<TRadioGroup>("RGNazwaWynikowa")->ItemIndex(), 1);
    EXPECT_EQ(Kontrolka<QLineEdit>("ENazwaWynikowa")->text(), "serwis");
    EXPECT_FALSE(Kontrolka<QLineEdit>("ENazwaWynikowa")->isEnabled());
    EXPECT_EQ(Kontrolka<QLabel>("StatusBar1Panel0")->text(), "Gotowy");
    EXPECT_EQ(Kontrolka<QLabel>("StatusBar1Panel0")->width(), 200);
    auto* open = Kontrolka<QFileDialog>("OpenDialog1");
    EXPECT_EQ(open->windowTitle(), "Wybierz plik...");
    EXPECT_EQ(open->nameFilters(), QStringList{"Pliki dźwiękowe (mp2,mp3,wav) (*.mp2 *.mp3 *.wav)"});
    EXPECT_EQ(okno->font().family(), "Tahoma");
    EXPECT_EQ(okno->font().pixelSize(), 11);
    EXPECT_EQ(Kontrolka<QLabel>("LGodzina6")->text(), "6");
    EXPECT_EQ(Kontrolka<QLabel>("LDzien3")->text(), "śr");
}

TEST_F(UkladTest, StatusElementsFollowTheCoreThroughTheWindowInterface) {
    Uruchom();
    Okno& o = *okno;
    o.setAction("AkcjaSerwis: Pobieranie");
    o.setGaugeMax(200);
    o.setGaugePosition(50);
    o.setLastDelivered("N_2024-05-06_14.mp3");
    o.setStatusBar("Test: .");
    EXPECT_EQ(Kontrolka<QLabel>("LAkcja")->text(), "AkcjaSerwis: Pobieranie");
    EXPECT_EQ(Kontrolka<QProgressBar>("Gauge1")->value(), 25);
    o.advanceGauge(1000);
    EXPECT_EQ(Kontrolka<QProgressBar>("Gauge1")->value(), 100);
    o.setGaugeMax(0);
    o.advanceGauge(5);
    EXPECT_EQ(Kontrolka<QProgressBar>("Gauge1")->value(), 0);
    EXPECT_EQ(Kontrolka<QLabel>("LOstPobrany")->text(), "N_2024-05-06_14.mp3");
    EXPECT_EQ(Kontrolka<QLabel>("StatusBar1Panel0")->text(), "Test: .");
    // The missed hour stays beside panel 0 while the presence test rewrites it.
    EXPECT_EQ(Kontrolka<QLabel>("StatusBar1Panel1")->text(), "");
    o.setMissedHour("Brak serwisu na godzinę 14.");
    o.setStatusBar("Test: 2.");
    EXPECT_EQ(Kontrolka<QLabel>("StatusBar1Panel1")->text(), "Brak serwisu na godzinę 14.");
    EXPECT_TRUE(Kontrolka<QLabel>("StatusBar1Panel1")->isVisible());
    o.setMissedHour("");
    EXPECT_EQ(Kontrolka<QLabel>("StatusBar1Panel1")->text(), "");
    o.Migotanie(true);
    EXPECT_EQ(Kontrolka<QLabel>("LShapeInfo")->text(), "Pobieram...");
    o.Migotanie(false);
    EXPECT_EQ(Kontrolka<QLabel>("LShapeInfo")->text(), "Czekam na zadanie.");
    EXPECT_EQ(Kontrolka<TShape>("Shape1")->Kolor(), QColor(0, 128, 0));
}

/// The widest line of `t`, with the mark or frame the control draws beside it, and its lines fit.
void Miesci(QWidget* w, const QString& t) {
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(t);
    QApplication::processEvents();  // the status bar lays its panels out again
    int p = 0;
    for (const QString& l : t.split('\r')) p = std::max(p, w->fontMetrics().horizontalAdvance(l));
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) p = w->sizeHint().width();
    else if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QGroupBox*>(w)) p += qobject_cast<QGroupBox*>(w) ? 16 : 6;
    EXPECT_LE(p, w->width()) << w->objectName().toStdString() << ": " << t.toStdString();
    EXPECT_LE((t.count('\r') + 1) * w->fontMetrics().height(), w->height()) << t.toStdString();
    EXPECT_LE(w->mapTo(w->window(), QPoint(w->width(), 0)).x(), w->window()->width()) << t.toStdString();
}

TEST_F(UkladTest, NoTextOfTheWindowOrItsDialogsIsWiderThanItsControlAndQtSpeaksPolish) {
    Uruchom();
    Ustawienia u;  // what the dialogs edit
    TFZPlikuSciezka plik(okno.get(), u, dir / "tolvak.ini");
    TFIarUrlPick iar(okno.get(), u, dir / "tolvak.ini");
    TFFolder folder(okno.get());
    TFStartSerwis edytor(okno.get(), *okno, "", dir.path(), u.StartSerwisu);
    for (QWidget* d : std::initializer_list<QWidget*>{okno.get(), &plik, &iar, &folder, &edytor})
        for (QWidget* w : d->findChildren<QWidget*>()) {
            if (qobject_cast<QFileDialog*>(w->window())) continue;  // Qt's own
            if (auto* l = qobject_cast<QLabel*>(w)) Miesci(w, l->text());
            if (auto* b = qobject_cast<QAbstractButton*>(w)) Miesci(w, b->text());
            if (auto* g = qobject_cast<QGroupBox*>(w)) Miesci(w, g->title());
        }
    Miesci(Kontrolka<QWidget>("LShapeInfo"), "Jest 00:00:00. Do następnego testu: ~0:00");  // the longest dynamic texts
    Miesci(Kontrolka<QWidget>("StatusBar1Panel0"), "Ostatnie pobranie: 10.12.2026 06:54:26");
    Miesci(Kontrolka<QWidget>("StatusBar1Panel0"), "Test: 2026-12-10 06:54:26.Brak podkładu. Brak zakończenia. Folder zapisu serwisu nie istnieje. ");
    Miesci(Kontrolka<QWidget>("LOstPobrany"), "N_2026-12-10_15.mp3\r2026-12-10\r06:54:26");
    Miesci(edytor.findChild<QWidget*>("LPozycja"), "Pozycja: 60:00.00, ramka 158760000");
    EXPECT_EQ(Kontrolka<QFileDialog>("OpenDialog1")->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text(), "Anuluj");
}

}  // namespace
}  // namespace tolvak::test
