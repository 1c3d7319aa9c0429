// The local file, IAR address and output folder dialogs.

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "OknoTestowe.h"
#include "app/Konfiguracja.h"
#include "dialogs/FFolder.h"
#include "dialogs/FIarUrlPick.h"
#include "dialogs/FZPlikuSciezka.h"
#include "platform/Ini.h"

namespace tolvak::test {
namespace {

class DialogiTest : public OknoTest {
protected:
    void SetUp() override {
        OknoTest::SetUp();
        ini = dir / "tolvak.ini";
    }
    std::filesystem::path ini;
    Ustawienia u;
};

QString Tekst(QWidget& d, const char* nazwa) { return d.findChild<QLabel*>(nazwa)->text(); }

TEST_F(DialogiTest, LocalFileDialogShowsTheFileAndSavesAChoiceAtOnce) {
    TFZPlikuSciezka d(nullptr, u, ini);
    EXPECT_EQ(d.windowTitle(), "Tolvak - lokalna ścieżka serwisu");
    EXPECT_EQ(d.size(), QSize(479, 119));
    EXPECT_EQ(Tekst(d, "Label1"), "Jest czy nie ma");
    d.show();
    EXPECT_EQ(Tekst(d, "Label1"), "Brak pliku");
    EXPECT_EQ(Tekst(d, "Label2"), "");
    d.hide();

    u.ZPlikuSciezka = (dir / "skasowany.mp3").string();
    d.show();
    EXPECT_EQ(Tekst(d, "Label1"), "Brak pliku");
    d.hide();

    const std::string plik = (dir / "serwis.mp3").string();
    std::ofstream(plik) << "ID3";
    d.show();
    auto* open = d.findChild<QFileDialog*>("OpenDialog1");
    EXPECT_EQ(open->windowTitle(), "Wskaż plik...");
    EXPECT_EQ(open->nameFilters(), (QStringList{"*.mp3 (*.mp3)", "*.mp2 (*.mp2)", "*.wav (*.wav)"}));
    modalne.Odpowiedz([&](QWidget* w) {
        auto* f = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(f, nullptr);
        f->selectFile(QString::fromStdString(plik));
        modalne.Odpowiedz(Zamknij);
        static_cast<QDialog*>(f)->accept();
    });
    QTest::mouseClick(d.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    EXPECT_EQ(modalne.Widziane.at(1), std::make_pair(QString("Uwaga"), QString::fromStdString("Plik " + plik + " nie zawiera dźwięku")));  // kept
    EXPECT_EQ(d.findChild<QLineEdit*>("LabeledEdit1")->text().toStdString(), plik);
    EXPECT_EQ(Tekst(d, "Label1"), "Plik istnieje.");
    EXPECT_TRUE(Tekst(d, "Label2").startsWith("Data ostatniej modyfikacji: 20"));
    EXPECT_EQ(u.ZPlikuSciezka, plik);
    d.close();  // by the frame: the choice is already saved
    EXPECT_EQ(IniFile(ini).ReadString("Ustawienia", "ZPlikuSciezka", ""), plik);
}

TEST_F(DialogiTest, IarAddressGetsASchemeOnlyWhenItLacksHttp) {
    EXPECT_EQ(AdresIAR("  iar.pl/feed.xml "), "http://iar.pl/feed.xml");
    EXPECT_EQ(AdresIAR("HTTPS://IAR.PL/FEED"), "HTTPS://IAR.PL/FEED");
    EXPECT_EQ(AdresIAR("httpfoo"), "httpfoo");
    EXPECT_EQ(AdresIAR(""), "http://");

    u.iarURL = "http://stary";
    TFIarUrlPick d(nullptr, u, ini);
    EXPECT_EQ(d.windowTitle(), "Tolvak - IAR API URL");
    EXPECT_EQ(d.size(), QSize(494, 108));
    d.show();
    auto* edit = d.findChild<QLineEdit*>("LabeledEdit1");
    EXPECT_EQ(edit->text(), "http://stary");
    edit->setText("nowy.pl");
    d.close();  // by the frame: nothing saved
    EXPECT_EQ(u.iarURL, "http://stary");
    EXPECT_FALSE(std::filesystem::exists(ini));
    d.show();
    edit->setText(" https://Nowy.pl/x ");
    QTest::mouseClick(d.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(u.iarURL, "https://Nowy.pl/x");
    EXPECT_EQ(IniFile(ini).ReadString("Ustawienia", "iarURL", ""), "https://Nowy.pl/x");
}

TEST_F(DialogiTest, FolderDialogTakesTheLabelsFolderWithOneSeparator) {
    TFFolder d(nullptr);
    EXPECT_EQ(d.windowTitle(), "Wybierz folder...");
    EXPECT_EQ(d.size(), QSize(390, 327));
    EXPECT_EQ(d.findChild<QWidget*>("ShellTreeView1")->geometry(), QRect(0, 0, 390, 257));
    EXPECT_EQ(d.findChild<QWidget*>("BitBtn1")->geometry(), QRect(160, 294, 57, 25));
    EXPECT_EQ(d.findChild<QWidget*>("Label1")->pos(), QPoint(8, 263));
    EXPECT_EQ(Tekst(d, "Label1"), "Folder...");
    auto* ok = d.findChild<QPushButton*>("BitBtn1");

    // OK at once keeps the entry folder, with the separator added.
    d.FolderZapisu = "/srv/serwisy";
    d.show();
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.FolderZapisu, "/srv/serwisy/");

    // The computer node has no folder: OK keeps the entry.
    d.FolderZapisu = "/srv/a/";
    d.show();
    d.findChild<QTreeWidget*>("ShellTreeView1")->setCurrentItem(d.WezelKomputera());
    EXPECT_EQ(Tekst(d, "Label1"), "Komputer");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(d.FolderZapisu, "/srv/a/");

    // The file system root: one separator, not two.
    d.show();
    ASSERT_NE(d.ZaznaczFolder("/"), nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(d.FolderZapisu, "/");

    // A folder chosen, then the close button: the entry folder comes back.
    std::filesystem::create_directories(dir / "wybrany");
    std::filesystem::create_directories(dir / "a" / "b");  // below: the tree opens there; "Anuluj" is the close button
    d.FolderZapisu = "/srv/b/";
    d.show();
    ASSERT_NE(d.ZaznaczFolder(QString::fromStdString((dir / "wybrany").string())), nullptr);
    EXPECT_EQ(Tekst(d, "Label1").toStdString(), (dir / "wybrany").string());
    d.close();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.FolderZapisu, "/srv/b/");
    d.FolderZapisu = QString::fromStdString((dir / "a" / "b").string() + "/");
    d.show();
    EXPECT_EQ(d.findChild<QTreeWidget*>()->currentItem()->data(0, Qt::UserRole).toString() + "/", d.FolderZapisu);
    d.ZaznaczFolder("/");
    QTest::mouseClick(d.findChild<QPushButton*>("BitBtn2"), Qt::LeftButton);
    EXPECT_EQ(d.FolderZapisu.toStdString(), (dir / "a" / "b").string() + "/");
}

TEST_F(DialogiTest, FolderDialogRefusesToCloseWithAnEmptyFolder) {
    TFFolder d(nullptr);
    d.FolderZapisu = "";
    d.show();
    modalne.Odpowiedz(Zamknij);
    QTest::mouseClick(d.findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
    EXPECT_TRUE(d.isVisible());
    modalne.Odpowiedz(Zamknij);
    d.close();
    EXPECT_TRUE(d.isVisible());
    ASSERT_EQ(modalne.Ile(), 2);
    EXPECT_EQ(modalne.Widziane[1],
              std::make_pair(QString("Informacja"), QString("Folder zapisu nie może być pusty")));
    d.FolderZapisu = "/x/";
    d.close();
    EXPECT_FALSE(d.isVisible());
}

}  // namespace
}  // namespace tolvak::test
