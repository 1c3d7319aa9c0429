// Stored files from the Windows workstation (Windows-1250, UTF-16) and the Polish error texts.

#include "platform/AtomicFile.h"
#include "platform/Bledy.h"
#include "platform/Ini.h"
#include "platform/Kodowanie.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace tolvak;
using tolvak::test::TempDir;

namespace {

void Put(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}
std::string Get(const fs::path& p) {
    std::string s;
    ReadWholeFile(p, s);
    return s;
}

// "Zażółć gęślą jaźń" in Windows-1250 and in UTF-8.
const std::string k1250 = "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1";
const std::string kUtf8 = "Zażółć gęślą jaźń";

}  // namespace

TEST(Kodowanie, TheMarkThenValidUtf8ThenWindows1250) {
    EXPECT_EQ(OdczytajTekst("\xEF\xBB\xBFó").kodowanie, Kodowanie::Utf8ZBom);
    EXPECT_EQ(OdczytajTekst(kUtf8).kodowanie, Kodowanie::Utf8);
    EXPECT_EQ(OdczytajTekst("").kodowanie, Kodowanie::Utf8);
    const TekstPliku w = OdczytajTekst(k1250 + "\r\n");
    EXPECT_EQ(w.kodowanie, Kodowanie::Windows1250);
    EXPECT_EQ(w.tekst, kUtf8 + "\r\n");
    EXPECT_EQ(ZapiszTekst(w.tekst, w.kodowanie), k1250 + "\r\n");
    // A file an earlier build prepended UTF-8 lines to reads back whole.
    EXPECT_EQ(OdczytajTekst("łódź\r\n" + k1250).tekst, "łódź\r\n" + kUtf8);
    // Not valid UTF-8: overlong forms, surrogates, a cut sequence.
    EXPECT_FALSE(JestUtf8("a\xC0\x80"));
    EXPECT_FALSE(JestUtf8("a\xED\xA0\x80"));
    EXPECT_FALSE(JestUtf8("a\xC5"));

    // UTF-16 both ways, with the mark; a lone surrogate reads as U+FFFD.
    const std::string le("\xFF\xFE\x7C\x01\x0D\x00\x0A\x00\x00\xD8", 10);
    EXPECT_EQ(OdczytajTekst(le).kodowanie, Kodowanie::Utf16LE);
    EXPECT_EQ(OdczytajTekst(le).tekst, "ż\r\n\xEF\xBF\xBD");
    EXPECT_EQ(ZapiszTekst("ż", Kodowanie::Utf16BE), std::string("\xFE\xFF\x01\x7C", 4));

    // Letters Windows-1250 lacks are transliterated there, and reported to who must not lose them.
    EXPECT_EQ(ZapiszTekst("Жó€", Kodowanie::Windows1250), "ZH\xF3\x80");
    EXPECT_TRUE(MiesciSieWWindows1250(kUtf8));
    EXPECT_FALSE(MiesciSieWWindows1250("Жук"));
}

TEST(Kodowanie, AWindows1250IniFindsItsPolishPathAndStaysWindows1250) {
    TempDir dir;
    const fs::path podklad = dir / "Podkłady" / "gęś.wav";
    fs::create_directories(podklad.parent_path());
    Put(podklad, "RIFF");
    std::string sciezka1250 = (dir /
                               "Podk\xB3"
                               "ady" /
                               "g\xEA\x9C.wav")
                                  .string();
    Put(dir / "tolvak.ini", "[Ustawienia]\r\nSerwisPodklad=" + sciezka1250 + "\r\n");

    IniFile ini(dir / "tolvak.ini");
    const std::string wczytana = ini.ReadString("Ustawienia", "SerwisPodklad", "");
    EXPECT_EQ(wczytana, podklad.string());
    EXPECT_TRUE(fs::exists(wczytana));

    ini.WriteString("Ustawienia", "NazwaWynikowa", "wiadomości");
    EXPECT_EQ(Get(dir / "tolvak.ini"), "[Ustawienia]\r\nSerwisPodklad=" + sciezka1250 +
                                           "\r\nNazwaWynikowa=wiadomo\x9C"
                                           "ci\r\n");
    // A path Windows-1250 cannot hold turns the file into UTF-8 rather than losing letters.
    ini.WriteString("Ustawienia", "PogodaPodklad", "/srv/Жук.wav");
    EXPECT_EQ(Get(dir / "tolvak.ini"),
              "[Ustawienia]\r\nSerwisPodklad=" + podklad.string() +
                  "\r\nNazwaWynikowa=wiadomości\r\nPogodaPodklad=/srv/Жук.wav\r\n");

    // A UTF-8 file stays UTF-8; a UTF-16 one ("Unicode" in Notepad) stays UTF-16.
    Put(dir / "u.ini", "[S]\r\nk=łąka\r\n");
    IniFile u(dir / "u.ini");
    u.WriteString("S", "m", "ćma");
    EXPECT_EQ(Get(dir / "u.ini"), "[S]\r\nk=łąka\r\nm=ćma\r\n");
    Put(dir / "w.ini", ZapiszTekst("[S]\r\nk=łąka\r\n", Kodowanie::Utf16LE));
    IniFile w(dir / "w.ini");
    EXPECT_EQ(w.ReadString("s", "K", ""), "łąka");
    w.WriteString("S", "m", "ćma");
    EXPECT_EQ(Get(dir / "w.ini"), ZapiszTekst("[S]\r\nk=łąka\r\nm=ćma\r\n", Kodowanie::Utf16LE));
}

TEST(Bledy, TheOperationTheFileAndTheReasonInPolish) {
    EXPECT_EQ(OpisBledu(ENOENT), "brak takiego pliku");
    EXPECT_EQ(OpisBledu(EACCES), "brak uprawnień");
    EXPECT_EQ(OpisBledu(ENOSPC), "brak miejsca na dysku");
    EXPECT_EQ(OpisBledu(EROFS), "system plików tylko do odczytu");
    EXPECT_EQ(OpisBledu(EISDIR), "to jest folder");
    EXPECT_EQ(OpisBledu(EMFILE), std::generic_category().message(EMFILE));
    const std::system_error e = BladPliku(OperacjaNaPliku::Otwarcie, "/srv/podklad.wav", ENOENT);
    EXPECT_STREQ(e.what(), "Nie można otworzyć pliku /srv/podklad.wav: brak takiego pliku");
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);

    // The atomic writer's failures read the same.
    TempDir dir;
    fs::create_directories(dir / "folder" / "inside");
    try {
        WriteFileAtomically(dir / "folder", "x");
        ADD_FAILURE() << "replacing a folder must fail";
    } catch (const std::system_error& b) {
        EXPECT_EQ(std::string(b.what()),
                  "Nie można zastąpić pliku " + (dir / "folder").string() + ": to jest folder");
    }
    try {
        WriteFileAtomically(dir / "none" / "log.txt", "x");
        ADD_FAILURE() << "a missing folder must fail";
    } catch (const std::system_error& b) {
        EXPECT_EQ(std::string(b.what()), "Nie można utworzyć pliku " +
                                             (dir / "none" / "log.txt").string() +
                                             ": brak takiego pliku");
    }
}
