// The settings handlers of the main window, driven through its real controls: what each one
// writes, in which order, and what it logs.

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <fstream>

#include "OknoTestowe.h"
#include "app/window/Kontrolki.h"

namespace tolvak::test {
namespace {

using okno::TRadioGroup;
using okno::TShape;
using okno::TSpinEdit;
using ::testing::ElementsAre;

class UstawieniaTest : public OknoTest {
protected:
    void Wybierz(const char* grupa, int i) {
        QRadioButton* item = Kontrolka<TRadioGroup>(grupa)->Item(i);
        QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(6, item->height() / 2));  // the dot
    }
    void Zaznacz() { QTest::mouseClick(Kontrolka<QCheckBox>("CheckBox1"), Qt::LeftButton); }
    /// Chooses `plik` in the file open dialog that the next click opens (`potem`: and closes a box).
    void WybierzPlik(const std::string& plik, bool potem = false) {
        modalne.Odpowiedz([this, plik, potem](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(d, nullptr);
            d->selectFile(QString::fromStdString(plik));
            if (potem) modalne.Odpowiedz(Zamknij);
            static_cast<QDialog*>(d)->accept();
        });
    }
};

TEST_F(UstawieniaTest, ReadingTheSettingsRunsTheHandlersOfChangedControls) {
    Ini("[Ustawienia]\r\nCzyNews=1\r\nCzyIAR=1\r\nCzyZPliku=1\r\nFolderZapisu=/srv/serwisy\r\n"
        "NazwaWynikowaTyp=0\r\nNazwaWynikowa=wiadomosci\r\nFormatZapisu=1\r\n"
        "[Kompresja]\r\nPlikZrodlowy=-61\r\nPlikWynikowy=7\r\n");
    Uruchom();
    EXPECT_EQ(Kontrolka<QLineEdit>("LEFolderZapisu")->text(), "/srv/serwisy/");
    EXPECT_EQ(Klucz("FolderZapisu"), "/srv/serwisy");  // the file keeps its text
    EXPECT_TRUE(Kontrolka<QCheckBox>("CheckBox1")->isChecked());
    EXPECT_EQ(Klucz("CzyNews"), "1");
    EXPECT_EQ(Klucz("CzyZPliku"), "0");
    EXPECT_EQ(Klucz("CzyIAR"), "0");
    EXPECT_FALSE(okno->ustawienia().CzyIAR);
    EXPECT_TRUE(Kontrolka<QLineEdit>("ENazwaWynikowa")->isEnabled());
    EXPECT_EQ(Kontrolka<QLineEdit>("ENazwaWynikowa")->text(), "wiadomosci");
    EXPECT_EQ(Kontrolka<TRadioGroup>("RadioGroup1")->ItemIndex(), 1);
    EXPECT_EQ(Kontrolka<TSpinEdit>("SpinEdit1")->Value(), 0);
    EXPECT_EQ(Kontrolka<TSpinEdit>("SpinEdit2")->Value(), 7);
    EXPECT_EQ(Klucz("PlikZrodlowy", "Kompresja"), "-61");  // unchanged control: nothing written
    EXPECT_EQ(Klucz("PlikWynikowy", "Kompresja"), "7");
    EXPECT_THAT(Log(), ElementsAre("Start programu", "Zmieniono typ nazwy wynikowej."));
}

TEST_F(UstawieniaTest, KindSelectorShowsEachKindAndRunsTheSwitchOnlyWhenItFlips) {
    Ini("[Ustawienia]\r\nSerwisPodklad=/b/news.wav\r\nSerwisSportPodklad=/b/sport.wav\r\n"
        "CzyZPliku=1\r\n");
    Uruchom();
    Wybierz("RadioGroup2", 0);  // it opens on "Newsy z pliku"; "Newsy" is off: the box flips off
    const auto przed = Klucze();
    Wybierz("RadioGroup2", 1);  // sport off, box off: no handler, nothing written
    EXPECT_EQ(Kontrolka<QGroupBox>("GroupBox3")->title(),
              "Dźwięki dla serwisu sportowego (tylko Eurozet)");
    EXPECT_EQ(Kontrolka<QLineEdit>("LEPodklad")->text(), "/b/sport.wav");
    EXPECT_EQ(Klucze(), przed);
    Wybierz("RadioGroup2", 3);
    EXPECT_EQ(Kontrolka<QGroupBox>("GroupBox3")->title(), "Dźwięki pogody (tylko Agora)");
    EXPECT_EQ(Klucze(), przed);

    // "Newsy z pliku" with its switch on: the box flips on and the local file dialog opens.
    modalne.Odpowiedz(Zamknij);
    Wybierz("RadioGroup2", 4);
    ASSERT_EQ(modalne.Ile(), 1);
    EXPECT_EQ(modalne.Widziane[0].first, "Tolvak - lokalna ścieżka serwisu");
    EXPECT_TRUE(Kontrolka<QCheckBox>("CheckBox1")->isChecked());
    EXPECT_EQ(Kontrolka<QLineEdit>("LEPodklad")->text(), "/b/news.wav");
    EXPECT_EQ(Klucz("CzyZPliku"), "1");
    EXPECT_EQ(Klucz("CzyNews"), "0");
    EXPECT_EQ(Klucz("CzyIAR"), "0");
}

TEST_F(UstawieniaTest, TickingIarSwitchesTheOtherNewsSourcesOffInOrderThenAsksForTheAddress) {
    Ini("[Ustawienia]\r\nCzyNews=1\r\n");
    Uruchom();
    // From here on the file shows the order of the writes: new keys are appended.
    std::filesystem::remove(dir / "tolvak.ini");
    const auto adres = [this](QWidget* w) {
        // Written before the dialog opens.
        EXPECT_EQ(Klucze(), (std::vector<std::string>{"CzyIAR", "CzyNews", "CzyZPliku"}));
        EXPECT_EQ(Klucz("CzyIAR") + Klucz("CzyNews") + Klucz("CzyZPliku"), "100");
        auto* edit = w->findChild<QLineEdit*>("LabeledEdit1");
        edit->setText("  iar.example/rss.xml");
        QTest::mouseClick(w->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    };
    Wybierz("RadioGroup2", 5);  // CzyIAR off, box was on: flips off, writes CzyIAR "0"
    EXPECT_EQ(modalne.Ile(), 0);
    EXPECT_EQ(Klucz("CzyIAR"), "0");
    // "Newsy" is on: the question comes first.
    modalne.Odpowiedz([this, adres](QWidget* w) {
        modalne.Odpowiedz(adres);
        static_cast<QMessageBox*>(w)->done(QMessageBox::Yes);
    });
    Zaznacz();
    ASSERT_EQ(modalne.Ile(), 2);
    EXPECT_EQ(Klucz("CzyIAR"), "1");
    EXPECT_EQ(Klucz("CzyNews"), "0");
    EXPECT_EQ(Klucz("CzyZPliku"), "0");
    EXPECT_EQ(Klucz("iarURL"), "http://iar.example/rss.xml");
    EXPECT_EQ(okno->ustawienia().iarURL, "http://iar.example/rss.xml");
    EXPECT_TRUE(okno->ustawienia().CzyIAR);
    EXPECT_FALSE(okno->ustawienia().CzyNews);
}

TEST_F(UstawieniaTest, BedAndEndingOfTheIarItemAreTheGeneralNewsOnes) {
    const std::string bed = (dir / "podklad.wav").string();
    std::ofstream(bed) << "x";
    Uruchom();
    Wybierz("RadioGroup2", 5);
    WybierzPlik(bed, true);  // "x" holds no sound: kept, with a warning
    Klik("BBPodklad");
    ASSERT_EQ(modalne.Ile(), 2);
    EXPECT_EQ(modalne.Widziane[1], std::make_pair(QString("Uwaga"), "Plik " + QString::fromStdString(bed) + " nie zawiera dźwięku"));
    EXPECT_EQ(Kontrolka<QLineEdit>("LEPodklad")->text().toStdString(), bed);
    EXPECT_EQ(Klucz("SerwisPodklad"), bed);
    EXPECT_EQ(okno->ustawienia().SerwisPodklad, bed);
    Wybierz("RadioGroup2", 0);
    EXPECT_EQ(Kontrolka<QLineEdit>("LEPodklad")->text().toStdString(), bed);

    modalne.Odpowiedz(Zamknij);  // cancelled: nothing changes
    Klik("BBZakonczenie");
    EXPECT_EQ(Klucz("SerwisZakonczenie"), "<brak>");

    Klik("BBPodkladDel");
    EXPECT_EQ(Kontrolka<QLineEdit>("LEPodklad")->text(), "");
    EXPECT_EQ(Klucz("SerwisPodklad"), "");
    EXPECT_EQ(okno->ustawienia().SerwisPodklad, "");
    Wybierz("RadioGroup2", 3);
    Klik("BBZakonczenieDel");
    EXPECT_EQ(Klucz("PogodaZakonczenie"), "");
    EXPECT_THAT(Log(), ElementsAre("Start programu", "Ustawiono SerwisPodklad", "Plik " + bed + " nie zawiera dźwięku",
                                   "Usunięto SerwisPodklad", "Usunięto PogodaZakonczenie"));
}

TEST_F(UstawieniaTest, NamingModeAndTheFixedNameThatMustNotBeEmpty) {
    Ini("[Ustawienia]\r\nNazwaWynikowa=stary\r\n");
    Uruchom();
    auto* nazwa = Kontrolka<QLineEdit>("ENazwaWynikowa");
    Wybierz("RGNazwaWynikowa", 0);
    EXPECT_EQ(Klucz("NazwaWynikowaTyp"), "0");
    EXPECT_TRUE(nazwa->isEnabled());
    EXPECT_TRUE(nazwa->hasFocus());

    nazwa->setText("  nowy  ");
    Kontrolka<QWidget>("SpinEdit1")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(nazwa->text(), "nowy");
    EXPECT_EQ(Klucz("NazwaWynikowa"), "nowy");

    nazwa->setFocus(Qt::TabFocusReason);
    nazwa->setText("   ");
    modalne.Odpowiedz(Zamknij);
    Kontrolka<QWidget>("SpinEdit1")->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(modalne.Ile(), 1);
    EXPECT_EQ(modalne.Widziane[0],
              std::make_pair(QString("Informacja"), QString("Nazwa pliku wynikowego nie może być pusta!")));
    EXPECT_EQ(nazwa->text(), "serwis");
    EXPECT_EQ(Klucz("NazwaWynikowa"), "nowy");  // kept until the field is left again
    EXPECT_EQ(okno->focusWidget(), nazwa);  // focus goes back into the field
    // A name that would leave the output folder is refused the same way.
    okno->activateWindow();  // the closed message box took the window's activation with it
    ASSERT_TRUE(QTest::qWaitForWindowActive(okno.get(), 2000));
    nazwa->setFocus(Qt::TabFocusReason);
    nazwa->setText("x/../../escaped");
    modalne.Odpowiedz(Zamknij);
    Kontrolka<QWidget>("SpinEdit1")->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(modalne.Ile(), 2);
    EXPECT_EQ(modalne.Widziane[1].second, QString("Niedozwolona nazwa pliku wynikowego: x/../../escaped"));
    EXPECT_EQ(nazwa->text(), "serwis");
    EXPECT_EQ(Klucz("NazwaWynikowa"), "nowy");

    Wybierz("RGNazwaWynikowa", 2);
    EXPECT_FALSE(nazwa->isEnabled());
    EXPECT_EQ(Klucz("NazwaWynikowaTyp"), "2");
    Wybierz("RadioGroup1", 1);
    EXPECT_EQ(Klucz("FormatZapisu"), "1");
    EXPECT_EQ(okno->ustawienia().FormatZapisu, 1);
    EXPECT_THAT(Log(), ElementsAre("Start programu", "Zmieniono typ nazwy wynikowej.",
                                   "Ustawiono nazwę wynikową.", "Zmieniono typ nazwy wynikowej."));
}

TEST_F(UstawieniaTest, GainsTakeEveryChangeInRangeAndReadTextAsTheLowerLimit) {
    Uruchom();
    auto* zrodlo = Kontrolka<TSpinEdit>("SpinEdit1");
    auto* gotowy = Kontrolka<TSpinEdit>("SpinEdit2");
    QTest::keyClick(zrodlo, Qt::Key_Up);
    EXPECT_EQ(Klucz("PlikZrodlowy", "Kompresja"), "1");
    zrodlo->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(zrodlo, "12");  // "1", then "12": each keystroke writes
    EXPECT_EQ(Klucz("PlikZrodlowy", "Kompresja"), "12");
    EXPECT_EQ(okno->ustawienia().kompresjaPlikuZrodlowego, 12);
    QTest::keyClick(zrodlo, Qt::Key_0);  // 120: out of range, ignored
    EXPECT_EQ(Klucz("PlikZrodlowy", "Kompresja"), "12");
    EXPECT_EQ(okno->ustawienia().kompresjaPlikuZrodlowego, 12);
    zrodlo->findChild<QLineEdit*>()->clear();  // not a number: the lower limit
    EXPECT_EQ(Klucz("PlikZrodlowy", "Kompresja"), "-60");
    gotowy->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(gotowy->findChild<QLineEdit*>(), "5");
    EXPECT_EQ(Klucz("PlikWynikowy", "Kompresja"), "5");
    EXPECT_EQ(okno->ustawienia().kompresjaPlikuWynikowego, 5);
    EXPECT_EQ(Log().size(), 1u);
    for (const auto& [od, klawisz, kolko, wynik] : {std::tuple{60, Qt::Key_Up, 0, 60}, {-60, Qt::Key_Down, 0, -60}, {55, Qt::Key_PageUp, 0, 60},
                                                   {-52, Qt::Key_PageDown, 0, -60}, {59, Qt::Key_unknown, 240, 60}, {-60, Qt::Key_unknown, -120, -60}}) {
        gotowy->SetValue(od);  // arrows, page keys and the wheel stop at the limits
        QWheelEvent e({5, 5}, gotowy->mapToGlobal(QPointF(5, 5)), {}, {0, kolko}, {}, {}, Qt::NoScrollPhase, false);
        kolko ? (void)QApplication::sendEvent(gotowy, &e) : QTest::keyClick(gotowy, klawisz);
        EXPECT_EQ(gotowy->Value(), wynik) << od;
    }
}

TEST_F(UstawieniaTest, MatrixCellsToggleOnAnyButtonAndWriteAtOnce) {
    Ini("[Matryca]\r\nd16=1\r\nd27=5\r\nd38=yes\r\n");
    Uruchom();
    auto* pn6 = Kontrolka<TShape>("mshape16");
    EXPECT_EQ(pn6->Kolor(), QColor(0, 128, 0));
    EXPECT_EQ(Kontrolka<TShape>("mshape27")->Kolor(), QColor(0, 128, 0));
    EXPECT_EQ(Kontrolka<TShape>("mshape38")->Kolor(), QColor(255, 0, 0));
    QTest::mouseClick(pn6, Qt::RightButton);
    EXPECT_EQ(pn6->Kolor(), QColor(255, 0, 0));
    EXPECT_EQ(Klucz("d16", "Matryca"), "0");
    QTest::mouseClick(Kontrolka<TShape>("mshape38"), Qt::LeftButton);
    EXPECT_EQ(Klucz("d38", "Matryca"), "1");
    QTest::mouseClick(Kontrolka<TShape>("mshape722"), Qt::MiddleButton);
    EXPECT_EQ(Klucz("d722", "Matryca"), "1");
    EXPECT_TRUE(okno->matryca().CzyChciana("mshape722"));
    EXPECT_EQ(Log().size(), 1u);
}

TEST_F(UstawieniaTest, OutputFolderAndTheStatusText) {
    Uruchom();
    modalne.Odpowiedz([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Wybierz folder...");
        QTest::mouseClick(w->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
    });
    okno->findChild<QLineEdit*>("LEFolderZapisu")->setText("/srv/out");
    Klik("BBFolderZapisu");
    EXPECT_EQ(Kontrolka<QLineEdit>("LEFolderZapisu")->text(), "/srv/out/");
    EXPECT_EQ(Klucz("FolderZapisu"), "/srv/out/");
    EXPECT_EQ(okno->ustawienia().FolderZapisu, "/srv/out/");

    okno->setStatusBar("Test: 2024-05-06 13:40:00. Brak podkładu. ");
    modalne.Odpowiedz(Zamknij);
    QTest::mouseClick(Kontrolka<QWidget>("StatusBar1"), Qt::LeftButton);
    ASSERT_EQ(modalne.Ile(), 2);
    EXPECT_EQ(modalne.Widziane[1].second, "Test: 2024-05-06 13:40:00. Brak podkładu. ");
    EXPECT_EQ(Log().size(), 1u);
}

TEST_F(UstawieniaTest, LockElementsDisablesExactlyTheSettingGroups) {
    Uruchom();
    okno->LockElements(false);
    EXPECT_TRUE(okno->Zajety());
    for (const char* n : {"BitBtn1", "GroupBox5", "GroupBox3", "RadioGroup1", "GroupBox4"})
        EXPECT_FALSE(Kontrolka<QWidget>(n)->isEnabled()) << n;
    for (const char* n : {"RadioGroup2", "GroupBox6", "SpinEdit1", "Panel1", "StatusBar1"})
        EXPECT_TRUE(Kontrolka<QWidget>(n)->isEnabled()) << n;
    // A cell of the disabled matrix cannot be toggled.
    QTest::mouseClick(Kontrolka<TShape>("mshape16"), Qt::LeftButton);
    EXPECT_EQ(Klucz("d16", "Matryca"), "<brak>");
    okno->LockElements(true);
    EXPECT_FALSE(okno->Zajety());
    EXPECT_TRUE(Kontrolka<QWidget>("GroupBox4")->isEnabled());
}

}  // namespace
}  // namespace tolvak::test
