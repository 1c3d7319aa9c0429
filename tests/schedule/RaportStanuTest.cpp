// `tolvak --status` on a prepared program folder.

#include "schedule/RaportStanu.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/Regional.h"
#include "support/TempDir.h"

namespace tolvak {
namespace {

namespace fs = std::filesystem;

void Zapisz(const fs::path& p, const std::string& bajty) { std::ofstream(p, std::ios::binary) << bajty; }

TEST(RaportStanu, ShowsTheDeliveriesTheComingHourTodaysNewsHoursAndTheNewestTenLogLines) {
    SetRegionalFormats(RegionalFormats{"yyyy-MM-dd", "HH:mm:ss", '-'});
    test::TempDir dir;
    Zapisz(dir / "tolvak.ini",
           "[Ustawienia]\r\nCzyNews=1\r\nCzySport=1\r\nCzyPogoda=1\r\n"
           "[Matryca]\r\nd19=1\r\nd114=1\r\nd116=1\r\nd122=1\r\nd214=1\r\n");
    Zapisz(dir / "tolvak.dat",
           "[Pobrany]\r\nOstPobranyNews=2024-05-06 14\r\nOstPlikNews=/srv/emisja/N_2024-05-06_14.wav\r\n"
           "OstPobranySport=2024-05-06 13\r\n");
    std::string log;
    for (int i = 12; i >= 1; --i) log += "2024-05-06 13:" + std::to_string(10 + i) + ":00: wpis " + std::to_string(i) + "\r\n";
    Zapisz(dir / "log.txt", log);

    CommandLine cl;
    cl.status = true;
    cl.dir = dir.path().string();
    std::ostringstream out, err;
    const ManualClock clock(LocalTime{2024, 5, 6, 13, 45, 0});  // a Monday
    // No service address is set and weather has no Agora account: settings errors, CRITICAL.
    EXPECT_EQ(UruchomRaportStanu(cl, out, err, clock), 2);
    const std::string r = out.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_NE(r.find("Teraz: 2024-05-06 13:45:00, najbliższa godzina: 14\n"), std::string::npos) << r;
    EXPECT_NE(r.find("News       2024-05-06 14         nie (już dostarczony)               "
                     "/srv/emisja/N_2024-05-06_14.wav\n"),
              std::string::npos)
        << r;
    EXPECT_NE(r.find("Sport      2024-05-06 13         tak                                 -\n"),
              std::string::npos)
        << r;
    EXPECT_NE(r.find("Ekonomia   -                     nie (wyłączony)"), std::string::npos) << r;
    EXPECT_NE(r.find("Pogoda     -                     nie (brak konta Agora)"), std::string::npos) << r;
    // Hours after the current one, today's row only.
    EXPECT_NE(r.find("Kolejne godziny serwisu (News) dziś: 14, 16, 22\n"), std::string::npos) << r;
    EXPECT_NE(r.find("  2024-05-06 13:22:00: wpis 12\n"), std::string::npos) << r;
    EXPECT_NE(r.find("  2024-05-06 13:13:00: wpis 3\n"), std::string::npos) << r;
    EXPECT_EQ(r.find("wpis 2\n"), std::string::npos) << r;
    EXPECT_EQ(r.find("Brak pliku konfiguracji"), std::string::npos);
    EXPECT_NE(r.find("  Błąd: " + (dir / "tolvak.ini").string() + ": [Ustawienia] AdresZet: brak adresu"), std::string::npos) << r;

    // Reading only: nothing in the folder changed, nothing was added.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);

    // An empty folder still reports (the defaults), and says what is missing; a folder that does
    // not exist is a usage error.
    test::TempDir pusty;
    cl.dir = pusty.path().string();
    std::ostringstream out2;
    EXPECT_EQ(UruchomRaportStanu(cl, out2, err, clock), 2);
    EXPECT_NE(out2.str().find("Brak pliku konfiguracji: "), std::string::npos);
    EXPECT_NE(out2.str().find("Kolejne godziny serwisu (News) dziś: brak"), std::string::npos);
    cl.dir = (pusty / "nie-ma").string();
    EXPECT_EQ(UruchomRaportStanu(cl, out2, err, clock), 3);
}

}  // namespace
}  // namespace tolvak
