#include "production/Produkcja.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "audio/Dekoder.h"
#include "audio/Kompresja.h"
#include "platform/Internet.h"
#include "platform/PlikiTymczasowe.h"
#include "platform/Regional.h"
#include "production/Dostarczenie.h"
#include "production/GlosnoscSerwisu.h"
#include "production/Odcisk.h"
#include "production/Rodzaje.h"
#include "production/Sponsorzy.h"
#include "production/Weryfikacja.h"
#include "production/ZajecieFolderu.h"
#include "schedule/StanPobran.h"
#include "schedule/StanWynikow.h"
#include "sources/Pliki.h"
#include "sources/Zrodla.h"

namespace tolvak {

namespace fs = std::filesystem;

Produkcja::Produkcja(KontekstProdukcji kontekst)
    : k_(std::move(kontekst)), znacznik_(ZnacznikFolderu(k_.folderProgramu)) {
    TestPolaczenia = [] { return CzyJestInternet(); };
    // The form's settings of the components.
    AudioMixer1_.SetInput1(WaveIn1_);
    AudioMixer1_.SetInput2(WaveIn2_);
    AudioMixer1_.SetMode(TAudioMixerMode::amMix);
    AudioMixer1_.SetInput2StartSample(0);
    AudioMixer1_.SetVolume1(65535);
    AudioMixer1_.SetVolume2(65535);
    WaveOut1_.SetWavType(TWavType::wtPCM);
    WaveOut1_.SetBlockSize(512);
    WaveOut1_.SetCreateNonMsHeaders(false);
    WaveOut1_.SetFileMode(TFileOutputMode::foRewrite);
    WaveOut1_.OnDone = [this](TAuOutput* s) { WaveOut1Done(s); };
    MP3Out1_.SetInput(WaveIn1_);
    MP3Out1_.SetBitRate(TMP3BitRate::mbr256);
    MP3Out1_.SetEnableBitReservoir(false);
    MP3Out1_.SetStrictISO(false);
    MP3Out1_.SetEnableVBR(false);
    MP3Out1_.SetVBRQuality(TMP3Quality::mp3ql0);
    MP3Out1_.SetAverageBitrate(TMP3BitRate::mbrAuto);
    MP3Out1_.SetMaximumBitrate(TMP3BitRate::mbrAuto);
    MP3Out1_.OnDone = [this](TAuOutput* s) { MP3Out1Done(s); };
    MP3Out1_.OnProgress = [this](TAuOutput* s) { MP3Out1Progress(s); };
}

Produkcja::~Produkcja() = default;

std::string Produkcja::PlikRoboczy(const char* nazwa) const {
    return (k_.folderProgramu / nazwa).string();
}

void Produkcja::WaveOut1Done(TAuOutput*) { zakonczone_ = true; }

void Produkcja::MP3Out1Done(TAuOutput*) {
    k_.okno.setAction("Kompresja do mp3 zakończona!");
    zakonczone_ = true;
}

void Produkcja::MP3Out1Progress(TAuOutput*) { k_.okno.setGaugePosition(MP3Out1_.Progress()); }

void Produkcja::CzekajNaZakonczenie() {
    k_.okno.waitUntil([this] { return zakonczone_.load(); });
}

void Produkcja::UsunJesliJest(const std::string& sciezka) const {
    std::error_code ec;
    fs::remove(sciezka, ec);  // a file that cannot be deleted stays, without a message
}

void Produkcja::PrzebiegZapisu(TAuInput& wejscie) {
    const std::string tvtemp = PlikRoboczy(kTvTemp);
    const std::string tvtemp2 = PlikRoboczy(kTvTemp2);
    WaveOut1_.SetInput(wejscie);
    WaveOut1_.SetFileName(tvtemp2);
    UsunJesliJest(tvtemp2);  // a link planted there is removed, not written through
    zakonczone_ = false;
    WaveOut1_.Run();
    CzekajNaZakonczenie();
    // A pass that failed on its worker left a broken or empty file: the run must not go on
    // with it as if it were the bulletin.
    const std::string blad = WaveOut1_.ExceptionMessage();
    if (!blad.empty()) throw EAuException(blad);
    PrzeniesPlik(tvtemp2, tvtemp);
}

namespace {

bool tenSamPlik(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

std::string Produkcja::PobierzZPlikuWejsciowego() {
    const std::string& plik = *plikWejsciowy_;
    if (MaZnakKoncaWiersza(plik)) {
        k_.log.DodajDoLoga("AkcjaSerwis: Niedozwolony znak końca wiersza w ścieżce " +
                           SciezkaDoLoga(plik) + ".");
        return {};
    }
    const std::string nazwa = NazwaPlikuPobranego(RozszerzenieZrodla(plik));
    if (nazwa.empty()) return {};
    // The run overwrites and deletes its work files; the operator's file must survive it.
    for (const char* roboczy : {kTvVoice, kTvTemp, kTvTemp2, kTvEnd, kTvSerwis}) {
        if (tenSamPlik(plik, PlikRoboczy(roboczy))) {
            k_.log.DodajDoLoga("AkcjaSerwis: Plik " + plik +
                               " jest plikiem roboczym programu; podaj jego kopię pod inną nazwą.");
            return {};
        }
    }
    const std::string cel = (k_.folderRoboczy / nazwa).string();
    try {
        if (tenSamPlik(plik, cel)) {
            // Used in place, so it must pass what the copy would check.
            SprawdzPlikWejsciowy(plik);
            zachowajPobrany_ = true;
            return nazwa;
        }
        KopiujPlik(plik, cel, k_.okno, znacznik_, kMaksRozmiarWejscia);
    } catch (const std::exception& e) {
        k_.log.DodajDoLoga(std::string("AkcjaSerwis: ") + e.what());
        return {};
    }
    return nazwa;
}

std::string Produkcja::Pobierz(const std::string& rodzaj, const std::string& FileNameLink) {
    if (plikWejsciowy_) return PobierzZPlikuWejsciowego();
    const Ustawienia& u = k_.ustawienia;
    ZrodlaSerwisow& z = k_.zrodla;
    const bool agora = CzyAgora(u.AgoraLogin, u.AgoraPassword);
    if (rodzaj == kNews) {
        if (u.CzyIAR) return z.PobierzSerwisIAR();
        if (u.CzyZPliku) return z.PobierzSerwisZPliku();
        if (u.czyZPR) return z.PobierzSerwisZPR();
        return z.PobierzSerwis();
    }
    if (rodzaj == kSport)
        return agora ? z.PobierzSerwisAgoraDodatkowy(std::string(kSport))
                     : z.PobierzSerwisSE(FileNameLink);
    if (rodzaj == kEkonomia) return z.PobierzSerwisSE(FileNameLink);
    if (rodzaj == kPogoda && agora) return z.PobierzSerwisAgoraDodatkowy(std::string(kPogoda));
    return {};
}

void Produkcja::Nieudane(const std::string& powod) {
    k_.log.DodajDoLoga("AkcjaSerwis: " + powod);
    wynik_.powod = powod;
    wynik_.powtorzony = false;  // whatever the bulletin was, the run failed
}

bool Produkcja::AkcjaSerwis(const std::string& rodzaj, const std::string& FileNameLink, TrybAkcji tryb) {
    wynik_ = WynikAkcji{};
    tryb_ = tryb;
    wynik_.rodzaj = rodzaj;
    const bool dostarczono = Przebieg(rodzaj, FileNameLink);
    ZglosWynik(dostarczono);
    return dostarczono;
}

void Produkcja::ZglosWynik(bool dostarczono) {
    wynik_.godzina = ComingHourStamp(poczatek_);
    wynik_.dostarczony = dostarczono;
    if (dostarczono && !wynik_.powtorzony) wynik_.powod.clear();
    if (!dostarczono && !wynik_.powtorzony && wynik_.powod.empty())
        wynik_.powod = "Nieudane pobranie serwisu.";
    try {
        ZapiszWynik(k_.folderProgramu / NazwaPlikuStanu, wynik_, k_.clock.now());
    } catch (const std::exception& e) {
        // The window still shows it; only the record after a restart is lost.
        k_.log.DodajDoLoga(std::string("AkcjaSerwis: ") + e.what());
    }
    k_.okno.setRunOutcome(wynik_);
}

bool Produkcja::Przebieg(const std::string& rodzaj, const std::string& FileNameLink) {
    // The run makes the bulletin of the hour coming when it starts, however long it takes.
    poczatek_ = k_.clock.now();
    zachowajPobrany_ = false;
    sciezkaDostarczenia_.clear();
    // A fixed name that leaves the output folder fails the run before anything is fetched.
    const Ustawienia& u = k_.ustawienia;
    if (u.NazwaWynikowaTyp == NazwaStala && !CzyDozwolonaNazwaWynikowa(u.NazwaWynikowa)) {
        Nieudane("Niedozwolona nazwa wynikowa: " + SciezkaDoLoga(u.NazwaWynikowa));
        return false;
    }
    // 1. Connection.
    if (!TestPolaczenia()) {
        k_.log.DodajDoLoga("Brak dostępu do Internetu.");
        wynik_.powod = "Brak dostępu do Internetu.";
        return false;
    }
    // 2.
    k_.okno.Migotanie(true);
    bool dostarczono = false;
    std::string pobrany;
    try {
        // 3. Fetch, by kind.
        pobrany = Pobierz(rodzaj, FileNameLink);
        // 4.
        if (pobrany.empty()) {
            Nieudane("Nieudane pobranie serwisu.");
            k_.okno.Migotanie(false);
            return false;
        }
        // 5.
        k_.log.DodajDoLoga("AkcjaSerwis: Pobrano serwis: " + pobrany);
        // 6 to 15.
        dostarczono = Montaz(rodzaj, pobrany);
    } catch (const std::exception& e) {
        // The run ends here; the work files stay as they are, but the fetched file goes (never
        // one given with --input): a broken download named anew every hour would pile up.
        Nieudane(e.what());
        if (!pobrany.empty() && !zachowajPobrany_)
            UsunJesliJest(fs::path(pobrany).is_absolute() ? pobrany : (k_.folderRoboczy / pobrany).string());
        // The readers let go of their files, so that a later run can replace them.
        for (TWaveIn* w : {&WaveIn1_, &WaveIn2_}) {
            try {
                w->Flush();
            } catch (const std::exception&) {
            }
        }
        k_.okno.Migotanie(false);
        return false;
    }
    // 16.
    k_.okno.Migotanie(false);
    k_.okno.setAction("Czekam...");
    k_.okno.setGaugePosition(0);
    return dostarczono;
}

bool Produkcja::Montaz(const std::string& rodzaj, const std::string& pobrany) {
    const Ustawienia& u = k_.ustawienia;
    Okno& okno = k_.okno;
    Log& log = k_.log;
    const std::string tvvoice = PlikRoboczy(kTvVoice);
    const std::string tvtemp = PlikRoboczy(kTvTemp);
    const std::string tvtemp2 = PlikRoboczy(kTvTemp2);
    const std::string tvend = PlikRoboczy(kTvEnd);
    const std::string tvserwis = PlikRoboczy(kTvSerwis);
    const fs::path pobranyPath = fs::path(pobrany).is_absolute()
                                     ? fs::path(pobrany)
                                     : k_.folderRoboczy / fs::path(pobrany);
    const std::string pobranaSciezka = pobranyPath.string();

    // A decoding step that cannot decode its input writes nothing; its output name is cleared
    // first so that a file left by an earlier failed run is never taken for the new bulletin.
    // The sounds all meet in one format: the bed's when a bed is laid, else the bulletin's.
    // 8.
    const DzwiekiRodzaju d = DzwiekiDlaRodzaju(u, rodzaj);
    const bool jestPodklad = !d.Podklad.empty() && IstniejePlik(d.Podklad);
    std::optional<audiolib::PcmFormat> format;
    if (jestPodklad) {
        format = FormatDzwieku(d.Podklad);
        if (!format) throw BrakDzwieku(d.Podklad);
    }
    // 6.
    UsunJesliJest(tvvoice);
    format = mp3ToWav(pobranaSciezka, tvvoice, okno, format);
    // A bulletin still being written (an empty file among them), or last hour's again: as a
    // failed fetch, nothing stays.
    const auto odrzuc = [&] {
        if (!zachowajPobrany_) UsunJesliJest(pobranaSciezka);
        UsunJesliJest(tvvoice);
        return false;
    };
    if (!format) {
        std::error_code ec;
        if (fs::file_size(pobranyPath, ec) != 0 || ec) throw BrakDzwieku(pobrany);
        Nieudane("Pobrany serwis jest pusty lub za krótki.");
        return odrzuc();
    }
    log.DodajDoLoga("AkcjaSerwis: Przekonwertowano serwis do pliku wav.");
    std::string odcisk;
    const OkolicznosciPrzyjecia okolicznosci{u.OdrzucPowtorzony, tryb_, ComingHourStamp(poczatek_),
                                             k_.clock.now()};
    const Przyjecie przyjecie = PrzyjmijPobrany(tvvoice, k_.folderProgramu / NazwaPlikuStanu, rodzaj,
                                                okolicznosci, log, odcisk, &wynik_.powtorzony);
    wynik_.powod = wynik_.powtorzony ? std::string(TekstPowtorzonego)
                                     : std::string("Pobrany serwis jest pusty lub za krótki.");
    if (przyjecie == Przyjecie::Odrzuc) return odrzuc();
    if (!wynik_.powtorzony) wynik_.powod.clear();
    // 7.
    Kompresuj(tvvoice, u.kompresjaPlikuZrodlowego, okno);
    log.DodajDoLoga("AkcjaSerwis: Znormalizowano serwis.");
    // 9. Bed.
    if (jestPodklad) {
        UsunJesliJest(tvtemp);
        if (!mp3ToWav(d.Podklad, tvtemp, okno, format)) throw BrakDzwieku(d.Podklad);
        WaveIn1_.SetFileName(tvtemp);
        const int64_t punktMixu = PunktMixuWPodkladzie(d.PunktMixu, std::max<int64_t>(0, WaveIn1_.TotalSamples()),
                                                       format->SampleRate);
        WaveIn1_.Flush();
        if (punktMixu != d.PunktMixu)
            log.DodajDoLoga("AkcjaSerwis: Punkt mixu poza podkładem: " + std::to_string(d.PunktMixu));
        WaveIn2_.SetFileName(tvvoice);
        WaveIn1_.SetFileName(tvtemp);
        AudioMixer1_.SetMode(TAudioMixerMode::amMix);
        AudioMixer1_.SetInput2StartSample(punktMixu);
        okno.setAction("Trwa miksowanie plików...");
        okno.processMessages();
        PrzebiegZapisu(AudioMixer1_);
        WaveIn1_.SetFileName(tvtemp);
        WaveIn2_.SetFileName(tvvoice);
        const int64_t L1 = WaveIn1_.TotalSamples();
        const int64_t L2 = WaveIn2_.TotalSamples();
        WaveIn1_.Flush();
        WaveIn2_.Flush();
        if (L2 + punktMixu < L1) {
            WaveIn1_.SetFileName(tvtemp);
            WaveIn1_.SetStartSample(0);
            WaveIn1_.SetEndSample(L2 + punktMixu);
            PrzebiegZapisu(WaveIn1_);
        }
        okno.setAction("Miksowanie zakończone!");
        okno.processMessages();
        log.DodajDoLoga("AkcjaSerwis: Zmiksowano serwis z podkładem.");
    } else {
        PrzeniesPlik(tvvoice, tvtemp);
    }
    // 10. Ending.
    if (!d.Zakonczenie.empty() && IstniejePlik(d.Zakonczenie)) {
        UsunJesliJest(tvend);
        if (!mp3ToWav(d.Zakonczenie, tvend, okno, format)) throw BrakDzwieku(d.Zakonczenie);
        WaveIn1_.SetFileName(tvtemp);
        WaveIn2_.SetFileName(tvend);
        AudioMixer1_.SetInput2StartSample(0);
        AudioMixer1_.SetMode(TAudioMixerMode::amConcatenate);
        okno.setAction("Dodawanie zakończenia...");
        okno.processMessages();
        PrzebiegZapisu(AudioMixer1_);
        okno.setAction("Zakończenie dodane!");
        okno.processMessages();
        log.DodajDoLoga("AkcjaSerwis: Dodano zakończenie do serwisu.");
    }
    // 11.
    Kompresuj(tvtemp, u.kompresjaPlikuWynikowego, okno);
    log.DodajDoLoga("AkcjaSerwis: Zakończono kompresję dynamiki gotowego serwisu.");
    // 12. Sponsors.
    if (rodzaj == kPogoda) {
        if (DodajSponsorow(k_.folderProgramu / NazwaPlikuKonfiguracji, tvtemp, tvtemp2, okno,
                           [&log](const std::string& linia) { log.DodajDoLoga(linia); }))
            log.DodajDoLoga("AkcjaSerwis: Dodano sponsorów do pogody.");
    }
    // The finished bulletin's loudness, when the station asks for it.
    GlosnoscSerwisu(u, tvtemp, log, okno);
    const int64_t ramki = RamkiZmontowane(tvtemp);
    // 13. Encoding.
    std::string doDostarczenia = tvtemp;
    if (u.FormatZapisu == 1) {
        okno.setAction("Kompresja do mp3...");
        okno.processMessages();
        doDostarczenia = tvserwis;
        WaveIn1_.SetFileName(tvtemp);
        MP3Out1_.Id3v1Tags().Clear();
        MP3Out1_.Id3v2Tags().Clear();
        MP3Out1_.SetFileName(tvserwis);
        UsunJesliJest(tvserwis);
        zakonczone_ = false;
        okno.setGaugeMax(100);
        MP3Out1_.Run();
        CzekajNaZakonczenie();
        // A failed tag step leaves a complete file: it is delivered, and the failure logged.
        const std::string blad = MP3Out1_.ExceptionMessage();
        if (!blad.empty() && !MP3Out1_.TagStepFailed()) throw EAuException(blad);
        log.DodajDoLoga("AkcjaSerwis: Zakończono kodowanie serwisu do formatu docelowego.");
        if (!blad.empty()) log.DodajDoLoga("AkcjaSerwis: " + blad);
    }
    // 14. Delivery.
    bool dostarczono = false;
    PrzekazSprawdzony(rodzaj, d.Prefiks, doDostarczenia, ramki, odcisk, przyjecie, dostarczono);
    // 15. Cleanup.
    if (!zachowajPobrany_) UsunJesliJest(pobranaSciezka);
    for (const std::string& plik : {tvvoice, tvend, tvtemp, tvtemp2, doDostarczenia})
        UsunJesliJest(plik);
    for (const char* sponsor : kTvSponsor) UsunJesliJest(PlikRoboczy(sponsor));
    log.DodajDoLoga("AkcjaSerwis: Skasowano pliki tymczasowe.");
    return dostarczono;
}

void Produkcja::PrzekazSprawdzony(const std::string& rodzaj, const std::string& prefiks,
                                  const std::string& doDostarczenia, int64_t ramki,
                                  const std::string& odcisk, Przyjecie przyjecie, bool& dostarczono) {
    if (PrzedPrzekazaniem) PrzedPrzekazaniem(doDostarczenia);
    const std::string usterka = UsterkaGotowego(doDostarczenia, ramki, k_.ustawienia.FormatZapisu == 1);
    if (!usterka.empty()) {
        Nieudane("Gotowy serwis uszkodzony: " + usterka);
        return;
    }
    Dostarcz(rodzaj, prefiks, doDostarczenia, dostarczono);
    if (!dostarczono) return;
    ZapiszSladDostarczenia(k_.folderProgramu / NazwaPlikuStanu, rodzaj, odcisk, sciezkaDostarczenia_, k_.log,
                           k_.clock.now(), przyjecie, ComingHourStamp(poczatek_));
    // The local file's stamp waits for the delivery, so a failed run takes the file again.
    if (rodzaj == kNews && !plikWejsciowy_ && ZrodloNewsDla(k_.ustawienia) == ZrodloNews::ZPliku)
        k_.zrodla.PoDostarczeniuNews();
}

void Produkcja::Dostarcz(const std::string& rodzaj, const std::string& prefiks,
                         const std::string& doDostarczenia, bool& dostarczono) {
    const Ustawienia& u = k_.ustawienia;
    const std::string nazwa = NazwaWynikowaSerwisu(prefiks, u.NazwaWynikowaTyp, u.NazwaWynikowa,
                                                   u.FormatZapisu, poczatek_);
    const std::string cel = SciezkaDocelowa(u.FolderZapisu, nazwa);
    UsunPozostawionePliki(k_.folderProgramu, {}, u.FolderZapisu, k_.log);
    try {
        KopiujPlik(doDostarczenia, cel, k_.okno, znacznik_);
        sciezkaDostarczenia_ = cel;
        const LocalTime teraz = k_.clock.now();
        k_.okno.setLastDelivered(nazwa + "\r" + DataTekst(teraz) + "\r" + RegionalnyCzas(teraz));
        k_.okno.setStatusBar("Ostatnie pobranie: " + RegionalnaDataICzas(teraz));
        k_.log.DodajDoLoga("AkcjaSerwis: Skopiowano serwis do lokalizacji docelowej.");
        ZapiszPobranyInfo(k_.folderProgramu / NazwaPlikuStanu, rodzaj, poczatek_);
        dostarczono = true;
    } catch (const std::exception& e) {
        k_.log.DodajDoLoga("AkcjaSerwis: Nieudane kopiowanie serwisu do lokalizacji docelowej.");
        Nieudane(e.what());
    }
}

}  // namespace tolvak
