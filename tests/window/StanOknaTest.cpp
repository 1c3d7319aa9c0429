// What the window tells of the station's state: a failed run until the kind's next delivery, the
// tray, the window started again on the source in use, and the next file's name.

#include <QAction>
#include <QLabel>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <fstream>

#include "OknoTestowe.h"
#include "app/window/Kontrolki.h"
#include "audio/WavFileWriter.h"
#include "platform/Ini.h"

namespace tolvak::test {
namespace {

class StanOknaTest : public OknoTest {
protected:
    std::string Dat(const char* klucz) const { return IniFile(dir / "tolvak.dat").ReadString("Pobrany", klucz, "-"); }
    QString Tekst(const char* etykieta) const { return okno->findChild<QLabel*>(etykieta)->text(); }
    QString Panel() const { return okno->findChild<okno::TStatusBar*>("StatusBar1")->AlarmText(); }
    int dymki = 0;
};

TEST_F(StanOknaTest, FailedRunStandsUntilTheKindIsDeliveredAndIsNotifiedOnce) {
    std::filesystem::create_directories(dir / "out");
    auto wav = audiolib::WavFileWriter::Create(dir / "serwis.wav", 44100, 1);
    std::vector<int16_t> s(44100 * 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>((i % 100) * 300 - 15000);
    wav->Write(s);
    wav->Commit();
    const std::string bed = (dir / "bed.mp3").string();
    std::ofstream(bed) << "<html>nie dźwięk</html>";
    Ini("[Ustawienia]\nCzyZPliku=1\nZPlikuSciezka=" + (dir / "serwis.wav").string() + "\nFolderZapisu=" +
        (dir / "out").string() + "/\nSerwisPodklad=" + bed + "\n");
    Uruchom();
    okno->OnDymek = [this](const QString& tytul, const QString&) { dymki += tytul == "Nieudane pobranie serwisu"; };
    auto* tray = okno->findChild<QSystemTrayIcon*>("TrayIcon1");
    for (int proba = 0; proba < 2; ++proba) {  // the same hour and kind twice: one notification
        Klik("BitBtn1");
        EXPECT_EQ(Tekst("LAkcja"), QString::fromStdString("Nieudane: Plik " + bed + " nie zawiera dźwięku"));
        EXPECT_EQ(okno->status().Gauge1Position(), 0);
        EXPECT_EQ(Panel(), QString::fromStdString("Nieudane News 14:00: Plik " + bed + " nie zawiera dźwięku"));
        EXPECT_EQ(Dat("OstBladNews"), "2024-05-06 13:40:00;14;Plik " + bed + " nie zawiera dźwięku");
        EXPECT_EQ(tray->toolTip(), Panel());
    }
    EXPECT_EQ(dymki, 1);
    Klik("BBPodkladDel");
    Klik("BitBtn1");
    EXPECT_EQ(Tekst("LAkcja"), "Czekam...");
    EXPECT_EQ(Panel(), "");
    EXPECT_EQ(Dat("OstBladNews"), "-");
    EXPECT_EQ(tray->toolTip(), "Ostatnio: N_2024-05-06_14.wav, 13:40");
    // Again the same bulletin: a warning, neither red nor notified.
    Klik("BitBtn1");
    EXPECT_EQ(Panel(), "Uwaga News 14:00: Ten sam serwis co poprzednio.");
    EXPECT_FALSE(okno->status().Alarm());
    EXPECT_EQ(Dat("OstPowtorzonyNews"), "2024-05-06 13:40:00;14;Ten sam serwis co poprzednio.");
    EXPECT_EQ(dymki, 1);
    QStringList menu;
    for (QAction* a : okno->TrayMenu()->actions())
        if (!a->isSeparator()) menu << a->text();
    EXPECT_EQ(menu, (QStringList{"Pokaż", "Pobierz ostatni", "Zamknij"}));

    // Started again, the window shows the local file source and the last delivery.
    okno.reset();
    Uruchom();
    EXPECT_EQ(Kontrolka<okno::TRadioGroup>("RadioGroup2")->ItemIndex(), 4);
    EXPECT_TRUE(Tekst("LOstPobrany").startsWith("N_2024-05-06_14.wav\r"));
    EXPECT_EQ(Panel(), "Uwaga News 14:00: Ten sam serwis co poprzednio.");
    EXPECT_EQ(modalne.Ile(), 0);  // no local file dialog at start
}

TEST_F(StanOknaTest, SwitchingAnotherGeneralNewsSourceOnAsksFirst) {
    Ini("[Ustawienia]\nCzyNews=1\n");
    Uruchom();
    QRadioButton* iar = Kontrolka<okno::TRadioGroup>("RadioGroup2")->Item(5);
    QTest::mouseClick(iar, Qt::LeftButton, {}, QPoint(6, iar->height() / 2));
    for (const auto odpowiedz : {QMessageBox::No, QMessageBox::Yes}) {
        modalne.Odpowiedz([this, odpowiedz](QWidget* w) {
            if (odpowiedz == QMessageBox::Yes) modalne.Odpowiedz(Zamknij);  // then the feed's dialog
            static_cast<QMessageBox*>(w)->done(odpowiedz);
        });
        QTest::mouseClick(Kontrolka<QCheckBox>("CheckBox1"), Qt::LeftButton);
        EXPECT_EQ(Kontrolka<QCheckBox>("CheckBox1")->isChecked(), odpowiedz == QMessageBox::Yes);
        EXPECT_EQ(Klucz("CzyNews"), odpowiedz == QMessageBox::Yes ? "0" : "1");
    }
    EXPECT_EQ(Klucz("CzyIAR"), "1");
    ASSERT_EQ(modalne.Widziane.size(), 3u);
    for (int i : {0, 1}) EXPECT_EQ(modalne.Widziane[i].second, "Włączenie tego źródła wyłączy „Newsy”. Kontynuować?");
    EXPECT_THAT(Log(), ::testing::Contains("Wyłączono źródło: Newsy"));
}

TEST_F(StanOknaTest, NextFileNameFollowsKindNamingFormatAndFixedName) {
    Uruchom();
    struct Przypadek { int rodzaj, nazwa, format; const char *stala, *oczekiwana; };
    clock.set(LocalTime{2026, 12, 10, 14, 5, 0, 0});
    for (const Przypadek& p : {Przypadek{0, 1, 1, "", "N_2026-12-10_15.mp3"}, {1, 2, 0, "", "S_15_00.wav"},
                               {3, 0, 1, "serwis", "P_serwis.mp3"}, {5, 0, 0, " pogoda ", "N_pogoda.wav"}}) {
        Kontrolka<okno::TRadioGroup>("RadioGroup2")->SetItemIndex(p.rodzaj);
        Kontrolka<okno::TRadioGroup>("RGNazwaWynikowa")->SetItemIndex(p.nazwa);
        Kontrolka<okno::TRadioGroup>("RadioGroup1")->SetItemIndex(p.format);
        if (*p.stala) Kontrolka<QLineEdit>("ENazwaWynikowa")->setText(p.stala);
        EXPECT_EQ(Tekst("LNastepnyPlik"), QString("Następny plik: ") + p.oczekiwana) << p.oczekiwana;
    }
    Kontrolka<okno::TRadioGroup>("RadioGroup2")->SetItemIndex(2);
    Kontrolka<okno::TRadioGroup>("RGNazwaWynikowa")->SetItemIndex(1);
    clock.set(LocalTime{2026, 12, 10, 23, 30, 0, 0});
    okno->status().Timer3Timer();  // the coming hour moves on with the clock
    EXPECT_EQ(Tekst("LNastepnyPlik"), "Następny plik: E_2026-12-10_24.wav");
}

}  // namespace
}  // namespace tolvak::test
