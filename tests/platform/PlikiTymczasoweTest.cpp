// Temporary and work files: unpredictable names, links never followed, and the removal of a
// program folder's own stale files only (the runs' side is in tests/production).

#include "platform/PlikiTymczasowe.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "platform/FolderLock.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;

std::string czytaj(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

TEST(PlikiTymczasowe, UnpredictableNamesLinksNeverFollowedOnlyOwnStaleFilesRemoved) {
    test::TempDir tmp;
    const std::string z = ZnacznikFolderu(tmp.path());
    EXPECT_EQ(z, ZnacznikFolderu(tmp.path() / "." / ""));  // one folder, one mark
    EXPECT_NE(z, ZnacznikFolderu(tmp / "inny"));
    std::ofstream(tmp / "ofiara") << "nietknieta";
    std::set<std::string> nazwy;
    for (int i = 0; i < 20; ++i) {
        PlikTymczasowy t(tmp / "N_serwis.wav", z);
        nazwy.insert(t.sciezka().filename().string());
        EXPECT_TRUE(CzyPlikTymczasowy(t.sciezka().filename().native(), z));
        EXPECT_FALSE(CzyPlikTymczasowy(t.sciezka().filename().native(), "0badc0de"));
    }
    EXPECT_EQ(nazwy.size(), 20u);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), {}), 1);  // each removed at its end

    // A link at the target, at a work file's name or at the lock file is never written through.
    for (const char* n : {"N_serwis.wav", "tvtemp2.wav", "tolvak.lock"}) fs::create_symlink(tmp / "ofiara", tmp / n);
    PlikTymczasowy t(tmp / "N_serwis.wav", z);
    ASSERT_EQ(::write(t.fd(), "nowy", 4), 4);
    t.ZastapCel();
    EXPECT_EQ(czytaj(tmp / "N_serwis.wav"), "nowy");
    const int fd = UtworzPlikRoboczy(tmp / "tvtemp2.wav");
    EXPECT_EQ(::write(fd, "praca", 5), 5);
    ::close(fd);
    EXPECT_THROW(FolderLock::tryLock(tmp / "tolvak.lock"), std::system_error);
    EXPECT_FALSE(fs::is_symlink(tmp / "tvtemp2.wav"));
    EXPECT_EQ(czytaj(tmp / "ofiara"), "nietknieta");

    // Stale: a link of the pattern goes (not its target), a folder of the pattern stays, and
    // the unmarked patterns count only for the program folder's own names.
    const std::string link = ".S_serwis.mp3." + z + "-zzzzzz.part", folder = ".P.wav." + z + "-folder.part";
    fs::create_symlink(tmp / "ofiara", tmp / link);
    fs::create_directory(tmp / folder);
    for (const char* n : {".tolvak.dat.tmp-a1B2c3", ".tvvoice.wav.tmp-Zz9Yy8", ".notatki.txt.tmp-a1B2c3",
                          ".tvvoice.wav.tmp-Zz9", ".N_serwis.wav.part", ".N.wav.0badc0de-Q7xk2P.part"})
        std::ofstream(tmp / n) << "x";
    EXPECT_EQ(UsunPlikiTymczasowe(tmp.path(), z), 1);
    EXPECT_EQ(UsunPlikiTymczasowe(tmp.path(), z, {"tolvak.dat", "tvvoice.wav"}), 2);
    EXPECT_EQ(UsunPlikiTymczasowe(tmp / "brak", z), 0);
    EXPECT_TRUE(fs::is_directory(tmp / folder));
    EXPECT_EQ(czytaj(tmp / "ofiara"), "nietknieta");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), {}), 9);
}

}  // namespace
}  // namespace tolvak
