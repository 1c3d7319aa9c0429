// The mix point editor: its waveform and scale arithmetic, the editor on a real event loop with
// playback on ALSA's null device, and the main window's "Punkt mixu" button.

#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <cstring>
#include <fstream>

#include "OknoTestowe.h"
#include "app/window/Kontrolki.h"
#include "audio/AudioConverter.h"
#include "audio/WavFileWriter.h"
#include "audio/WaveIn.h"
#include "dialogs/FStartSerwis.h"
#include "dialogs/PrzebiegPodkladu.h"
#include "support/NullSoundCard.h"

namespace tolvak::test {
namespace {

using podklad::TKolumna;

std::string Wav(const std::filesystem::path& plik, int channels, int rate, const std::vector<int16_t>& s) {
    auto w = audiolib::WavFileWriter::Create(plik, rate, channels);
    w->Write(s);
    w->Commit();
    return plik.string();
}

/// Waveform of a 16-bit WAV through the editor's 8-bit mono converter.
std::vector<TKolumna> Przebieg(int channels, const std::vector<int16_t>& s) {
    TempDir dir;
    TAuMemoryStream ms;
    ms.LoadFromFile(Wav(dir / "p.wav", channels, 44100, s));
    TWaveIn in;
    in.SetStream(&ms);
    TAudioConverter c;
    c.SetInput(in);
    c.SetOutBitsPerSample(8);
    c.SetOutChannels(1);
    return podklad::Przebieg(c, 556);
}

TEST(PrzebiegPodkladu, SilenceSquareAndRampGiveTheirColumns) {
    // Silence: every byte 128, counted as high.
    EXPECT_EQ(Przebieg(2, std::vector<int16_t>(556 * 20 * 2, 0)), std::vector<TKolumna>(556, TKolumna{0, 128}));
    // Full-scale square, half of each column at each extreme: bytes 255 and 0, both divided by
    // the column's whole count.
    std::vector<int16_t> square;
    for (int f = 0; f < 556 * 10; ++f) square.insert(square.end(), 2, f % 10 < 5 ? int16_t{32767} : int16_t{-32768});
    EXPECT_EQ(Przebieg(2, square), std::vector<TKolumna>(556, TKolumna{0, 127}));
    // A ramp over all 256 byte values in every column.
    std::vector<int16_t> ramp(556 * 256);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>((static_cast<int>(i % 256) - 128) * 256);
    EXPECT_EQ(Przebieg(1, ramp), std::vector<TKolumna>(556, TKolumna{31, 95}));
    // A length that is no multiple of the width still closes every column, the last at the end.
    EXPECT_EQ(Przebieg(1, std::vector<int16_t>(1000, 9000)), std::vector<TKolumna>(556, TKolumna{0, 163}));
}

TEST(PrzebiegPodkladu, PositionsAndMixPointsRoundHalvesToEvenWith64BitProducts) {
    using namespace podklad;
    EXPECT_EQ(MaksimumSuwaka(30, 1323000, 44100), 300);
    EXPECT_EQ(PunktZPozycji(25, 300, 1323000), 110250);
    EXPECT_EQ(PunktZPozycji(0, 300, 1323000), 0);
    EXPECT_EQ(PunktZPozycji(300, 300, 1323000), 1323000);
    EXPECT_EQ(PunktZPozycji(1, 4, 30), 8);   // 7.5
    EXPECT_EQ(PunktZPozycji(3, 4, 30), 22);  // 22.5
    EXPECT_EQ(PozycjaZPunktu(1, 300, 600), 0);  // 0.5
    EXPECT_EQ(PozycjaZPunktu(3, 300, 600), 2);  // 1.5
    EXPECT_EQ(PozycjaZPunktu(5000000, 300, 1323000), 300);  // beyond the bed: the right end
    // 3.5 minutes: N * P passes 32 bits.
    EXPECT_EQ(PunktZPozycji(2099, 2100, 9261000), 9256590);
    EXPECT_EQ(PozycjaZPunktu(9256590, 2100, 9261000), 2099);
    // Shorter than half a second: a step per tenth of a second begun, and no division by zero.
    EXPECT_EQ(MaksimumSuwaka(0, 13230, 44100), 3);
    EXPECT_EQ(MaksimumSuwaka(0, 1, 44100), 1);
    EXPECT_EQ(MaksimumSuwaka(0, 0, 44100), 0);
    EXPECT_EQ(PunktZPozycji(0, 0, 0), 0);
    EXPECT_EQ(PozycjaZPunktu(100, 0, 0), 0);
}

/// The editor opened on the main window, as "Punkt mixu" opens it.
class EdytorTest : public OknoTest {
protected:
    static void SetUpTestSuite() { UseNullSoundCard(); }

    /// A stereo 44.1 kHz bed whose every frame says its number (left: low part, right: high part).
    std::string Podklad(int64_t frames, const char* name = "podklad.wav") {
        std::vector<int16_t> s(static_cast<size_t>(frames) * 2);
        for (int64_t f = 0; f < frames; ++f) {
            s[2 * f] = static_cast<int16_t>(f % 30000 + 1);
            s[2 * f + 1] = static_cast<int16_t>(f / 30000 + 1);
        }
        return Wav(dir / name, 2, 44100, s);
    }
    std::unique_ptr<TFStartSerwis> Edytor(const std::string& podklad) {
        if (!okno) Uruchom();
        return std::make_unique<TFStartSerwis>(okno.get(), *okno, podklad, dir.path(), punkt);
    }
    static QRgb Kolor(const TFStartSerwis& e, int column) { return e.Obraz().pixel(column, 52); }
    static QSlider* Suwak(const TFStartSerwis& e) { return e.findChild<QSlider*>("TrackBar1"); }

    int64_t punkt = 0;
};

TEST_F(EdytorTest, OpensOnAThirtySecondBedWithItsLayoutScaleAndWorkFile) {
    const std::string bed = Podklad(44100 * 30);
    punkt = 44100 * 15;
    auto e = Edytor(bed);
    EXPECT_EQ(e->windowTitle(), "Punkt startu serwisu");
    EXPECT_EQ(e->size(), QSize(581, 166));
    EXPECT_EQ(e->findChild<QLabel*>("Image1")->geometry(), QRect(12, 0, 556, 105));
    EXPECT_EQ(Suwak(*e)->width(), 581);
    EXPECT_EQ(Suwak(*e)->tickPosition(), QSlider::NoTicks);
    const auto x = [&](const char* n) { return e->findChild<QPushButton*>(n)->x(); };
    EXPECT_EQ(e->findChild<QPushButton*>("BitBtn2")->text(), "Graj");
    EXPECT_EQ(e->findChild<QPushButton*>("BitBtn3")->text(), "Stop");
    EXPECT_EQ(e->findChild<QPushButton*>("BitBtn1")->text(), "Zapisz");
    EXPECT_LT(x("BitBtn2"), x("BitBtn3"));
    EXPECT_LT(x("BitBtn3"), x("BitBtn1"));

    ASSERT_TRUE(e->FormShow());
    EXPECT_EQ(Kontrolka<QLabel>("LAkcja")->text(), "Konwersja pliku podklad.wav zakończona!");
    EXPECT_TRUE(std::filesystem::exists(dir / "tvtfn.wav"));
    EXPECT_EQ(e->Ramek(), 44100 * 30);
    EXPECT_EQ(Suwak(*e)->maximum(), 300);
    EXPECT_EQ(Suwak(*e)->value(), 150);
    EXPECT_EQ(e->Values().size(), 556u);
    EXPECT_EQ(e->Obraz().size(), QSize(556, 105));
    // Position 25 stores nearest(N * 25 / 300); the work file goes with the window.
    Suwak(*e)->setValue(25);
    QTest::mouseClick(e->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
    EXPECT_EQ(punkt, 110250);
    EXPECT_FALSE(std::filesystem::exists(dir / "tvtfn.wav"));
}

TEST_F(EdytorTest, BothEndsAPointBeyondTheBedAndABedUnderHalfASecond) {
    const std::string bed = Podklad(44100 * 3);
    punkt = 10'000'000;  // a longer bed's point
    auto e = Edytor(bed);
    ASSERT_TRUE(e->FormShow());
    EXPECT_EQ(Suwak(*e)->value(), 30);
    e->BitBtn1Click();
    EXPECT_EQ(punkt, 44100 * 3);
    e = Edytor(bed);
    ASSERT_TRUE(e->FormShow());
    Suwak(*e)->setValue(0);
    e->BitBtn1Click();
    EXPECT_EQ(punkt, 0);
    // Closing without saving keeps the point.
    punkt = 4410;
    e = Edytor(bed);
    ASSERT_TRUE(e->FormShow());
    EXPECT_EQ(Suwak(*e)->value(), 1);
    Suwak(*e)->setValue(20);
    e->close();
    EXPECT_EQ(punkt, 4410);
    // A bed under half a second has a step per tenth of a second.
    e = Edytor(Podklad(13230, "krotki.wav"));
    ASSERT_TRUE(e->FormShow());
    EXPECT_EQ(e->Maksimum(), 3);
    Suwak(*e)->setValue(1);
    e->BitBtn1Click();
    EXPECT_EQ(punkt, 4410);
}

TEST_F(EdytorTest, PlaysFromThePositionWithTheRedBandAndStops) {
    auto e = Edytor(Wav(dir / "cisza.wav", 2, 44100, std::vector<int16_t>(44100 * 2 * 2, 0)));
    ASSERT_TRUE(e->FormShow());
    // Silence is drawn over the full height, yellow.
    for (int i : {1, 300, 555}) EXPECT_EQ(Kolor(*e, i), qRgb(255, 255, 0));
    Suwak(*e)->setValue(10);  // of 20: from the middle
    PacedRecorder rec(44100, 4);
    e->Odtwarzanie().SetPlayedTap(rec.Tap());
    QTest::mouseClick(e->findChild<QPushButton*>("BitBtn2"), Qt::LeftButton);
    // Half of what remains has been read.
    QtEventPump::waitUntil([&] { return rec.PlayedBytes() > 0 && e->Odtwarzanie().Progress() >= 50; });
    e->DrawGraph();
    EXPECT_EQ(Kolor(*e, 100), qRgb(255, 255, 0));  // before the position
    EXPECT_EQ(Kolor(*e, 279), qRgb(255, 0, 0));    // the position itself
    EXPECT_EQ(Kolor(*e, 555), qRgb(255, 255, 0));  // not reached yet
    QTest::mouseClick(e->findChild<QPushButton*>("BitBtn3"), Qt::LeftButton);
    EXPECT_EQ(e->Odtwarzanie().Status(), TOutputStatus::tosIdle);
    e->DrawGraph();
    EXPECT_EQ(Kolor(*e, 279), qRgb(255, 255, 0));
}

TEST_F(EdytorTest, TheReadoutAndThePointsLineFollowTheTrackBar) {
    auto e = Edytor(Podklad(44100 * 30));
    ASSERT_TRUE(e->FormShow());
    int poprzednia = 1;
    for (const auto& [pozycja, odczyt, kolumna] : {std::tuple{278, "Pozycja: 0:27.80, ramka 1225980", 514},
              {0, "Pozycja: 0:00.00, ramka 0", 0}, {300, "Pozycja: 0:30.00, ramka 1323000", 555}, {1, "Pozycja: 0:00.10, ramka 4410", 2}}) {
        Suwak(*e)->setValue(pozycja);
        EXPECT_EQ(e->findChild<QLabel*>("LPozycja")->text(), odczyt);
        for (int y : {0, 52, 104}) EXPECT_EQ(e->Obraz().pixel(kolumna, y), qRgb(255, 255, 255)) << pozycja;
        EXPECT_NE(e->Obraz().pixel(std::exchange(poprzednia, kolumna), 0), qRgb(255, 255, 255));  // no trace left
    }
}

TEST_F(EdytorTest, GrajPlaysTheBedFromTheFrameOfThePosition) {
    auto e = Edytor(Podklad(44100));
    ASSERT_TRUE(e->FormShow());
    Suwak(*e)->setValue(7);  // frame 30870
    PacedRecorder rec(44100, 4);
    e->Odtwarzanie().SetPlayedTap(rec.Tap());
    bool done = false;
    e->Odtwarzanie().OnDone = [&](TAuOutput*) { done = true; };
    e->BitBtn2Click();
    QtEventPump::waitUntil([&] { return done; });
    const auto played = rec.Played();
    std::vector<int16_t> s(played.size() / 2);
    std::memcpy(s.data(), played.data(), s.size() * 2);
    ASSERT_GE(s.size(), size_t{(44100 - 30870) * 2});
    for (int64_t f = 30870; f < 44100; ++f) {
        ASSERT_EQ(s[2 * (f - 30870)], f % 30000 + 1) << f;
        ASSERT_EQ(s[2 * (f - 30870) + 1], f / 30000 + 1) << f;
    }
}

class PunktMixuTest : public EdytorTest {
protected:
    void Wybierz(int i) {
        QRadioButton* item = Kontrolka<okno::TRadioGroup>("RadioGroup2")->Item(i);
        QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(6, item->height() / 2));
    }
    bool Zalogowano(const std::string& linia) const {
        const auto l = Log();
        return std::find(l.begin(), l.end(), linia) != l.end();
    }
};

TEST_F(PunktMixuTest, WithoutABedItAsksForOneAndWritesNothing) {
    Uruchom();
    bool wybor = false;
    modalne.Odpowiedz([&](QWidget* w) {
        modalne.Odpowiedz([&](QWidget* d) {
            wybor = qobject_cast<QFileDialog*>(d) != nullptr;
            Zamknij(d);
        });
        Zamknij(w);
    });
    Klik("BBPunktMixu");
    ASSERT_EQ(modalne.Widziane.size(), 2u);
    EXPECT_EQ(modalne.Widziane[0], std::make_pair(QString("Informacja"), QString("Wybierz podkład.")));
    EXPECT_TRUE(wybor);
    EXPECT_EQ(Klucz("StartDzwiekuSerwisu"), "<brak>");
    EXPECT_FALSE(Zalogowano("Ustawiono StartDzwiekuSerwisu"));
}

TEST_F(PunktMixuTest, SavingTheRightEndStoresTheBedsLengthUnderTheKindsKey) {
    const std::string bed = Podklad(44100 * 2);
    Ini("[Ustawienia]\r\nSerwisSportPodklad=" + bed + "\r\nStartDzwiekuSerwisuSportowego=4410\r\n");
    Uruchom();
    Wybierz(1);
    int pozycja = -1;
    modalne.Odpowiedz([&](QWidget* w) {
        auto* bar = w->findChild<QSlider*>("TrackBar1");
        pozycja = bar->value();
        bar->setValue(bar->maximum());
        QTest::mouseClick(w->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
    });
    Klik("BBPunktMixu");
    EXPECT_EQ(pozycja, 1);
    EXPECT_EQ(Klucz("StartDzwiekuSerwisuSportowego"), "88200");
    EXPECT_EQ(okno->ustawienia().StartSerwisuSport, 88200);
    // The decode's progress is the main window's.
    EXPECT_EQ(Kontrolka<QLabel>("LAkcja")->text(), "Konwersja pliku podklad.wav zakończona!");
    EXPECT_EQ(Kontrolka<QProgressBar>("Gauge1")->value(), 100);
    EXPECT_TRUE(Zalogowano("Ustawiono StartDzwiekuSerwisu"));
    EXPECT_FALSE(std::filesystem::exists(dir / "tvtfn.wav"));
}

TEST_F(PunktMixuTest, ClosingKeepsThePointAndStillWritesItsLow32Bits) {
    Ini("[Ustawienia]\r\nSerwisPodklad=" + Podklad(44100) + "\r\n");
    Uruchom();
    Wybierz(4);  // "Newsy z pliku" shares the news bed and point
    okno->ustawienia().StartSerwisu = 5'000'000'000;
    QString graj;  // without a sound device (--no-audio) "Graj" is disabled and says why
    modalne.Odpowiedz([&](QWidget* w) {
        if (auto* b = w->findChild<QPushButton*>("BitBtn2"); !b->isEnabled()) graj = b->toolTip();
        w->close();
    });
    Klik("BBPunktMixu");
    EXPECT_EQ(modalne.Ile(), 1);
    EXPECT_TRUE(graj.contains("--no-audio"));
    EXPECT_EQ(okno->ustawienia().StartSerwisu, 5'000'000'000);
    EXPECT_EQ(Klucz("StartDzwiekuSerwisu"), "705032704");
    EXPECT_TRUE(Zalogowano("Ustawiono StartDzwiekuSerwisu"));
}

TEST_F(PunktMixuTest, ABedThatCannotBeReadOrDecodedSaysWhyAndWritesNothing) {
    const std::string strona = (dir / "strona.mp3").string();
    std::ofstream(strona) << "<html>blad</html>\n";
    Ini("[Ustawienia]\r\nSerwisPodklad=" + strona + "\r\nStartDzwiekuSerwisu=777\r\n");
    Uruchom();
    modalne.Odpowiedz([](QWidget* w) { Zamknij(w); });
    Klik("BBPunktMixu");
    ASSERT_EQ(modalne.Widziane.size(), 1u);
    EXPECT_EQ(modalne.Widziane[0].first, "Błąd");
    EXPECT_TRUE(modalne.Widziane[0].second.startsWith("Nie można otworzyć podkładu: "));
    EXPECT_TRUE(modalne.Widziane[0].second.contains("strona.mp3"));
    EXPECT_EQ(Klucz("StartDzwiekuSerwisu"), "777");
    EXPECT_EQ(okno->ustawienia().StartSerwisu, 777);
    EXPECT_FALSE(Zalogowano("Ustawiono StartDzwiekuSerwisu"));
    EXPECT_TRUE(Zalogowano(modalne.Widziane[0].second.toStdString()));
    EXPECT_FALSE(std::filesystem::exists(dir / "tvtfn.wav"));
    // A bed gone between the check and the decode.
    auto e = Edytor((dir / "nie-ma.mp3").string());
    modalne.Odpowiedz([](QWidget* w) { Zamknij(w); });
    EXPECT_FALSE(e->FormShow());
    ASSERT_EQ(modalne.Widziane.size(), 2u);
    EXPECT_TRUE(modalne.Widziane[1].second.contains("nie-ma.mp3"));
}

}  // namespace
}  // namespace tolvak::test
