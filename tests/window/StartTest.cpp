// Start-up, the notification area and closing of the main window.

#include <QCheckBox>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>

#include "OknoTestowe.h"
#include "app/window/Instancja.h"
#include "platform/FolderLock.h"
#include "platform/Ini.h"
#include "platform/PlikiTymczasowe.h"
#include "production/Produkcja.h"

namespace tolvak::test {
namespace {

using ::testing::ElementsAre;

class StartTest : public OknoTest {
protected:
    std::unique_ptr<TForm1> Nowe(bool bezAudio) {
        return std::make_unique<TForm1>(ParametryOkna{dir.path(), dir.path(), &clock, bezAudio});
    }
};

TEST_F(StartTest, NoConnectionEndsTheStartWithItsMessageAndNoLogLine) {
    setenv("TOLVAK_ONLINE", "0", 1);
    auto form = Nowe(true);
    modalne.Odpowiedz(Zamknij);
    EXPECT_FALSE(form->FormCreate());
    ASSERT_EQ(modalne.Ile(), 1);
    EXPECT_EQ(modalne.Widziane[0], std::make_pair(QString("Błąd"), QString("Brak dostępu do internetu.")));
    EXPECT_FALSE(std::filesystem::exists(dir / "log.txt"));
}

TEST_F(StartTest, SoundDeviceIsOpenedUnlessTheWindowRunsWithoutAudio) {
    // A workstation whose default device is the null device of the sound system.
    TempDir home;
    std::ofstream(home / ".asoundrc") << "pcm.!default { type null }\nctl.!default { type hw card 0 }\n";
    const std::string stary = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.path().c_str(), 1);
    auto form = Nowe(false);
    modalne.Odpowiedz(Zamknij);  // should the device fail, its message box must not block
    const bool ok = form->FormCreate();
    setenv("HOME", stary.c_str(), 1);
    EXPECT_TRUE(ok);
    EXPECT_THAT(Log(), ElementsAre("Start programu"));
}

TEST_F(StartTest, MinimisingHidesIntoTheTrayAndTheIconBringsTheWindowBackWithoutRereading) {
    Ini("[Ustawienia]\r\nAgoraPodklad=1\r\n");
    Uruchom();
    okno->SetTrayDostepny(true);
    auto* tray = okno->findChild<QSystemTrayIcon*>("TrayIcon1");
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(tray->isVisible());
    EXPECT_TRUE(Kontrolka<QCheckBox>("CheckBox2")->isChecked());

    Ini("[Ustawienia]\r\nFolderZapisu=/inny\r\n");
    okno->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(okno->isVisible());
    EXPECT_TRUE(tray->isVisible());

    okno->TrayIcon1Click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(okno->isVisible());
    EXPECT_FALSE(okno->isMinimized());
    EXPECT_FALSE(tray->isVisible());
    EXPECT_NE(Kontrolka<QLineEdit>("LEFolderZapisu")->text(), "/inny/");
    EXPECT_THAT(Log(), ElementsAre("Start programu"));
}

TEST_F(StartTest, ClosingWritesTheKeysWithoutAControlInOrderAndLogsTheEnd) {
    Ini("[Ustawienia]\r\nPrzesuniecieCzasowe=7\r\nZatrzymajSprawdzanie=10\r\n");
    Uruchom();
    std::filesystem::remove(dir / "tolvak.ini");  // the order of the writes shows in the file
    QTest::mouseClick(Kontrolka<QCheckBox>("CheckBox2"), Qt::LeftButton);
    EXPECT_FALSE(std::filesystem::exists(dir / "tolvak.ini"));  // memory only
    EXPECT_TRUE(okno->close());
    EXPECT_EQ(Klucze(), (std::vector<std::string>{"ZatrzymajSprawdzanie", "PrzesuniecieCzasowe",
                                                  "CzyZPR", "ZPRHost", "ZPRLogin", "ZPRPassword",
                                                  "ZPRPassiveMode", "AgoraPodklad"}));
    EXPECT_EQ(Klucz("ZatrzymajSprawdzanie"), "10");
    EXPECT_EQ(Klucz("PrzesuniecieCzasowe"), "0");
    EXPECT_EQ(Klucz("ZPRPassiveMode"), "1");
    EXPECT_EQ(Klucz("AgoraPodklad"), "1");
    EXPECT_THAT(Log(), ElementsAre("Start programu", "Zamknięcie programu."));
}

TEST_F(StartTest, HoldingTheFolderTheWindowRemovesWhatKilledRunsLeftThereAndNothingElse) {
    const std::filesystem::path out = dir / "out";
    std::filesystem::create_directories(out);
    Ini("[Ustawienia]\r\nFolderZapisu=" + out.string() + "/\r\n");
    const std::string z = ZnacznikFolderu(dir.path());
    const std::filesystem::path nasze[] = {out / (".N_serwis.wav." + z + "-AbCdEf.part"),
                                           dir / ".log.txt.tmp-AbCdEf"};
    const std::filesystem::path obcy = out / ".N_serwis.wav.0badc0de-AbCdEf.part";
    for (const auto& p : nasze) std::ofstream(p) << "stary";
    std::ofstream(obcy) << "obcy";
    Uruchom();
    for (const auto& p : nasze) EXPECT_FALSE(std::filesystem::exists(p)) << p;
    EXPECT_TRUE(std::filesystem::exists(obcy));
    EXPECT_THAT(Log(), ElementsAre("Start programu", "Usunięto pozostawione pliki tymczasowe: 2"));
}

TEST_F(StartTest, WithTheLogSwitchOffOnlyTheStartIsLogged) {
    Ini("[Ustawienia]\r\nCzyTworzycLog=0\r\n");
    Uruchom();
    okno->close();
    EXPECT_THAT(Log(), ElementsAre("Start programu"));
}

TEST_F(StartTest, DuringAManualFetchTheSettingsAreLockedAndClosingWaitsForItsEnd) {
    Ini("[Ustawienia]\r\nFolderZapisu=" + dir.path().string() + "\r\n");
    Uruchom();
    bool wProdukcji = false;
    okno->produkcja().TestPolaczenia = [&] {
        // Inside the production run of "Pobierz ostatni".
        wProdukcji = true;
        EXPECT_TRUE(okno->Zajety());
        for (const char* n : {"BitBtn1", "GroupBox5", "GroupBox3", "RadioGroup1", "GroupBox4"})
            EXPECT_FALSE(Kontrolka<QWidget>(n)->isEnabled()) << n;
        EXPECT_TRUE(Kontrolka<QWidget>("RadioGroup2")->isEnabled());
        EXPECT_TRUE(Kontrolka<QWidget>("GroupBox6")->isEnabled());
        EXPECT_FALSE(okno->close());  // refused for now
        EXPECT_TRUE(okno->Zamykanie());
        EXPECT_TRUE(okno->isVisible());
        return false;  // no connection: the run ends at once
    };
    Klik("BitBtn1");
    EXPECT_TRUE(wProdukcji);
    EXPECT_THAT(Log(), ElementsAre("Start programu", "Rozpoczeto sprawdzanie serwisu.",
                                   "Brak dostępu do Internetu.",
                                   "Zakończono sprawdzanie serwisu."));
    EXPECT_TRUE(okno->isVisible());
    QCoreApplication::processEvents();  // the close asked for during the work happens now
    EXPECT_FALSE(okno->isVisible());
    EXPECT_EQ(Log().back(), "Zamknięcie programu.");
}

TEST_F(StartTest, ASecondInstanceIsRefusedBeforeItTouchesAnything) {
    TempDir run;
    setenv("XDG_RUNTIME_DIR", run.path().c_str(), 1);
    auto pierwsza = SprawdzInstancje(dir.path());
    ASSERT_TRUE(pierwsza);
    TempDir inny;
    modalne.Odpowiedz(Zamknij);
    EXPECT_FALSE(SprawdzInstancje(inny.path()));  // the same user, another folder
    ASSERT_EQ(modalne.Ile(), 1);
    EXPECT_EQ(modalne.Widziane[0],
              std::make_pair(QString("Informacja"), QString("Program jest już uruchomiony.")));
    pierwsza.reset();

    // A headless instance holds the program folder.
    auto bezOkna = FolderLock::tryLock(dir / NazwaPlikuBlokady);
    ASSERT_TRUE(bezOkna);
    modalne.Odpowiedz(Zamknij);
    EXPECT_FALSE(SprawdzInstancje(dir.path()));
    EXPECT_EQ(modalne.Ile(), 2);
    bezOkna.reset();
    EXPECT_TRUE(SprawdzInstancje(dir.path()));
    EXPECT_FALSE(std::filesystem::exists(dir / "log.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "tolvak.ini"));
}

}  // namespace
}  // namespace tolvak::test
