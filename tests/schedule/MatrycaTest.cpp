#include "schedule/Matryca.h"
#include "platform/AtomicFile.h"
#include "platform/Ini.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempDir.h"

namespace fs = std::filesystem;
using tolvak::Matryca;
using tolvak::test::TempDir;

namespace {
void Put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
int Green(const Matryca& m) {
    int n = 0;
    for (int d = 1; d <= 7; ++d)
        for (int h = 6; h <= 22; ++h) n += m.KomorkaDla(d, h)->chciana;
    return n;
}
}  // namespace

TEST(Matryca, CellsHaveTheirNamesTagsAndKeys) {
    EXPECT_EQ(Matryca::NazwaKomorki(1, 6), "mshape16");
    EXPECT_EQ(Matryca::NazwaKomorki(1, 10), "mshape110");
    EXPECT_EQ(Matryca::NazwaKomorki(7, 22), "mshape722");
    EXPECT_EQ(Matryca::TagKomorki(1, 10), 110);
    EXPECT_EQ(Matryca::KluczKomorki(722), "d722");

    TempDir dir;
    Matryca m(dir / "tolvak.ini");
    m.Wczytaj();
    EXPECT_EQ(Green(m), 0);  // no file: 119 red cells
    const auto k = m.ZnajdzKomorke("mshape314");
    ASSERT_TRUE(k);
    EXPECT_EQ(k->dzien, 3);
    EXPECT_EQ(k->godzina, 14);
    EXPECT_EQ(k->tag, 314);
    EXPECT_EQ(k->Kolor(), Matryca::KolorNiechciany);
    for (const char* none : {"mshape15", "mshape123", "mshape124", "mshape86", "mshape06", "mshape1", "mshape106",
                             "mshape1006", "Mshape16", "mshape16x"})
        EXPECT_FALSE(m.ZnajdzKomorke(none)) << none;
    EXPECT_FALSE(m.KomorkaDla(1, 5));
    EXPECT_FALSE(m.KomorkaDla(1, 23));
    EXPECT_FALSE(m.CzyChciana("mshape124"));
}

TEST(Matryca, KeysReadAsIntegers) {
    TempDir dir;
    Put(dir / "tolvak.ini", "[Matryca]\r\nd16=1\r\n");
    Matryca m(dir / "tolvak.ini");
    m.Wczytaj();
    EXPECT_EQ(Green(m), 1);
    EXPECT_TRUE(m.CzyChciana("mshape16"));
    EXPECT_EQ(m.KomorkaDla(1, 6)->Kolor(), (tolvak::KolorRGB{0, 128, 0}));

    Put(dir / "tolvak.ini", "[matryca]\r\nD16=5\r\nd17=yes\r\nd722=0x1\r\nd110=0\r\n");
    m.Wczytaj();
    EXPECT_TRUE(m.CzyChciana("mshape16"));
    EXPECT_FALSE(m.CzyChciana("mshape17"));
    EXPECT_TRUE(m.CzyChciana("mshape722"));
    EXPECT_EQ(Green(m), 2);
}

TEST(Matryca, ToggleWritesAtOnceAndOverwritesHandEdits) {
    TempDir dir;
    Put(dir / "tolvak.ini", "[Ustawienia]\r\nCzyNews=1\r\n");
    Matryca m(dir / "tolvak.ini");
    m.Wczytaj();
    const tolvak::IniFile ini(dir / "tolvak.ini");

    EXPECT_TRUE(m.ZmienStatusGodziny(110));
    EXPECT_EQ(ini.ReadString("Matryca", "d110", ""), "1");
    // A hand edit while running has no effect; the next click overwrites it.
    tolvak::IniFile(dir / "tolvak.ini").WriteString("Matryca", "d110", "1");
    EXPECT_TRUE(m.CzyChciana("mshape110"));
    tolvak::IniFile(dir / "tolvak.ini").WriteString("Matryca", "d110", "0");
    EXPECT_TRUE(m.CzyChciana("mshape110"));
    EXPECT_FALSE(m.ZmienStatusGodziny(110));
    EXPECT_EQ(ini.ReadString("Matryca", "d110", ""), "0");
    EXPECT_EQ(ini.ReadString("Ustawienia", "CzyNews", ""), "1");

    EXPECT_THROW(m.ZmienStatusGodziny(15), std::out_of_range);
    EXPECT_THROW(m.ZmienStatusGodziny(123), std::out_of_range);
    EXPECT_THROW(m.ZmienStatusGodziny(1006), std::out_of_range);

    // A failed write raises; the cell keeps its new state.
    Matryca broken(dir / "no-such-folder" / "tolvak.ini");
    EXPECT_THROW(broken.ZmienStatusGodziny(722), std::system_error);
    EXPECT_TRUE(broken.CzyChciana("mshape722"));
}
