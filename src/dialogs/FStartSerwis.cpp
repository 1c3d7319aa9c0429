#include "dialogs/FStartSerwis.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QStyle>

#include "audio/Dekoder.h"
#include "dialogs/Wyglad.h"
#include "platform/Okno.h"

namespace tolvak {

namespace {

const QColor kZolty(255, 255, 0);
const QColor kCzerwony(255, 0, 0);
const QColor kLiniaPunktu(255, 255, 255);

QPushButton* Przycisk(QWidget* parent, const char* name, const QString& text, QStyle::StandardPixmap icon, int x) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, 136, 75, 25);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TFStartSerwis::TFStartSerwis(QWidget* parent, Okno& okno, std::string podklad, std::filesystem::path folderProgramu,
                             int64_t& punktMixu, bool odsluch)
    : QDialog(parent),
      okno_(okno),
      podklad_(std::move(podklad)),
      folderProgramu_(std::move(folderProgramu)),
      punktMixu_(punktMixu) {
    dialogi::UstawOkno(this, "FStartSerwis", QStringLiteral("Punkt startu serwisu"), Szerokosc, Wysokosc);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, Szerokosc, H);
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(12, 0, W, H);
    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setGeometry(0, H, Szerokosc, 28);
    TrackBar1->setTickPosition(QSlider::NoTicks);
    TrackBar1->setRange(0, 0);
    BitBtn2 = Przycisk(this, "BitBtn2", QStringLiteral("Graj"), QStyle::SP_MediaPlay, 8);
    BitBtn3 = Przycisk(this, "BitBtn3", QStringLiteral("Stop"), QStyle::SP_MediaStop, 89);
    BitBtn1 = Przycisk(this, "BitBtn1", QStringLiteral("Zapisz"), QStyle::SP_DialogSaveButton, Szerokosc - 83);
    // Between "Stop" and "Zapisz": where the chosen point lies in the bed.
    LPozycja = new QLabel(this);
    LPozycja->setObjectName(QStringLiteral("LPozycja"));
    LPozycja->setGeometry(172, 136, Szerokosc - 83 - 8 - 172, 25);
    LPozycja->setAlignment(Qt::AlignCenter);
    if (!odsluch) {
        BitBtn2->setEnabled(false);
        BitBtn2->setToolTip(QStringLiteral("Brak urządzenia audio: program uruchomiono bez odtwarzania (--no-audio)."));
    }
    connect(BitBtn1, &QPushButton::clicked, this, &TFStartSerwis::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TFStartSerwis::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TFStartSerwis::BitBtn3Click);
    connect(TrackBar1, &QSlider::valueChanged, this, &TFStartSerwis::TrackBar1Change);

    AudioConverter1.SetInput(WaveIn1);
    AudioConverter1.SetMode(TMSConverterMode::msmMonoToBoth);
    AudioConverter1.SetOutBitsPerSample(8);
    AudioConverter1.SetOutChannels(1);
    DXAudioOut1.SetInput(WaveIn1);
    DXAudioOut1.SetDeviceNumber(0);
    DXAudioOut1.SetLatency(100);
    DXAudioOut1.SetPrefetchData(true);
    DXAudioOut1.SetPollingInterval(200);
    DXAudioOut1.SetFramesInBuffer(65536);
    DXAudioOut1.SetSpeedFactor(1.0f);
    DXAudioOut1.OnDone = [this](TAuOutput*) { DXAudioOut1Done(); };
    DXAudioOut1.OnProgress = [this](TAuOutput*) { DXAudioOut1Progress(); };
}

TFStartSerwis::~TFStartSerwis() { FormClose(); }

bool TFStartSerwis::FormShow() {
    tempFileName = folderProgramu_ / "tvtfn.wav";
    bitmap_ = QImage(W, H, QImage::Format_RGB32);
    ClearGraph();
    UnloadFileFromMemory();
    std::string powod;
    blad_.clear();
    try {
        std::error_code ec;
        std::filesystem::remove(tempFileName, ec);  // a failed decode must not show an old bed
        mp3ToWav(podklad_, tempFileName.string(), okno_);
        if (std::filesystem::exists(tempFileName, ec)) {
            InputMS = std::make_unique<TAuFileStream>(tempFileName.string(), TAuFileStream::kInputMode);
            WaveIn1.SetStream(InputMS.get());
            N_ = WaveIn1.Valid() ? WaveIn1.TotalSamples() : 0;
        }
        if (N_ <= 0) powod = "plik " + podklad_ + " nie jest dźwiękiem w formacie mp2, mp3 ani wav.";
    } catch (const std::exception& e) {
        powod = e.what();
    }
    if (!powod.empty()) {
        // The opening ends here, the mix point as it was; the operator learns why.
        WaveIn1.SetStream(nullptr);
        UnloadFileFromMemory();
        std::error_code ec;
        std::filesystem::remove(tempFileName, ec);
        zamkniety_ = true;
        blad_ = "Nie można otworzyć podkładu: " + powod;
        okno_.messageBox(blad_, "Błąd", MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    M_ = podklad::MaksimumSuwaka(WaveIn1.TotalTime(), N_, WaveIn1.SampleRate());
    {
        const QSignalBlocker cisza(TrackBar1);  // drawn once, below
        TrackBar1->setRange(0, static_cast<int>(M_));
        TrackBar1->setValue(static_cast<int>(podklad::PozycjaZPunktu(punktMixu_, M_, N_)));
    }
    GetWaveForm();
    DrawGraph();
    PokazPozycje();
    return true;
}

void TFStartSerwis::done(int r) {
    FormClose();
    QDialog::done(r);
}

void TFStartSerwis::closeEvent(QCloseEvent* e) {
    // Also when the window is not shown, where the dialog's own handling does not end it.
    FormClose();
    QDialog::closeEvent(e);
}

void TFStartSerwis::FormClose() {
    if (zamkniety_) return;
    zamkniety_ = true;
    DXAudioOut1.Stop(false);
    WaveIn1.SetStream(nullptr);
    UnloadFileFromMemory();
    std::error_code ec;
    if (!tempFileName.empty()) std::filesystem::remove(tempFileName, ec);
}

int64_t TFStartSerwis::Pozycja() const { return TrackBar1->value(); }

void TFStartSerwis::BitBtn1Click() {
    punktMixu_ = podklad::PunktZPozycji(Pozycja(), M_, N_);
    close();
}

void TFStartSerwis::BitBtn2Click() {
    if (!BitBtn2->isEnabled() || !InputMS || !WaveIn1.Valid()) return;
    DXAudioOut1.Stop(false);
    WaveIn1.SetStartSample(podklad::PunktZPozycji(Pozycja(), M_, N_));
    WaveIn1.SetEndSample(N_);
    DXAudioOut1.Run();
}

void TFStartSerwis::BitBtn3Click() { DXAudioOut1.Stop(false); }

void TFStartSerwis::TrackBar1Change() {
    DrawGraph();
    PokazPozycje();
}

void TFStartSerwis::PokazPozycje() {
    const int64_t ramka = podklad::PunktZPozycji(Pozycja(), M_, N_);
    LPozycja->setText(QStringLiteral("Pozycja: %1, ramka %2")
                          .arg(QString::fromStdString(podklad::CzasRamki(ramka, WaveIn1.SampleRate())))
                          .arg(ramka));
}

int TFStartSerwis::KolumnaPunktu() const {
    if (M_ <= 0) return 0;
    return static_cast<int>(podklad::Najblizsza(static_cast<double>(Pozycja() * (W - 1)) / static_cast<double>(M_)));
}
void TFStartSerwis::DXAudioOut1Progress() { DrawGraph(); }
void TFStartSerwis::DXAudioOut1Done() { DrawGraph(); }

void TFStartSerwis::ClearGraph() {
    bitmap_.fill(Qt::black);
    Image1->setPixmap(QPixmap::fromImage(bitmap_));
}

void TFStartSerwis::GetWaveForm() { values = podklad::Przebieg(AudioConverter1, bitmap_.width()); }

void TFStartSerwis::DrawGraph() {
    if (bitmap_.isNull()) return;
    const int64_t P = Pozycja(), M = M_;
    const bool gra = DXAudioOut1.Status() == TOutputStatus::tosPlaying;
    const int64_t koniec = gra ? DXAudioOut1.Progress() * (M - P) / 100 + P : -1;
    // Cleared first, so the point's line leaves no trace where it was.
    bitmap_.fill(Qt::black);
    QPainter p(&bitmap_);
    const int w = bitmap_.width(), h = bitmap_.height();
    for (int i = 0; i < w && i < static_cast<int>(values.size()); ++i) {
        const int64_t x = i * M / w;
        p.setPen(gra && x >= P && x <= koniec ? kCzerwony : kZolty);
        const auto y1 = static_cast<int>(podklad::Najblizsza(values[static_cast<size_t>(i)].low * h / 48.0) - 86);
        const auto y2 = static_cast<int>(podklad::Najblizsza(values[static_cast<size_t>(i)].high * h / 48.0) - 86);
        p.drawLine(i, y1, i, y2);
    }
    p.setPen(kLiniaPunktu);
    p.drawLine(KolumnaPunktu(), 0, KolumnaPunktu(), h - 1);
    p.end();
    Image1->setPixmap(QPixmap::fromImage(bitmap_));
}

void TFStartSerwis::UnloadFileFromMemory() {
    if (WaveIn1.Stream() == InputMS.get()) WaveIn1.SetStream(nullptr);  // the reader never holds a freed stream
    InputMS.reset();
}

}  // namespace tolvak
