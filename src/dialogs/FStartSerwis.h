#pragma once
// TFStartSerwis, "Punkt startu serwisu": the mix point editor. It decodes the bed into the work
// file "tvtfn.wav", reads it from there, draws its waveform with the chosen point as a line over
// it, shows the point as time and frames, lets the operator move the track bar along it, play
// the bed from there (when the workstation has a sound device) and stop it, and stores the
// chosen point (in sample frames of the decoded bed) into the mix point it was given. Every
// opening decodes afresh; closing stops playback and deletes the work file.

#include <QDialog>
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioConverter.h"
#include "audio/DXAudioOut.h"
#include "audio/WaveIn.h"
#include "dialogs/PrzebiegPodkladu.h"

class QLabel;
class QPushButton;
class QSlider;

namespace tolvak {

class Okno;

class TFStartSerwis : public QDialog {
    Q_OBJECT
public:
    static constexpr int Szerokosc = 581, Wysokosc = 166;
    static constexpr int W = 556, H = 105;  // Image1

    /// `okno` is the main window (decoding progress, message boxes), `podklad` the bed it shows,
    /// `punktMixu` the mix point of the selected kind, which "Zapisz" sets. Without `odsluch`
    /// (no sound device) "Graj" is disabled and says why.
    TFStartSerwis(QWidget* parent, Okno& okno, std::string podklad, std::filesystem::path folderProgramu,
                  int64_t& punktMixu, bool odsluch = true);
    ~TFStartSerwis() override;

    /// Prepares the image, decodes and loads the bed, sets the track bar and draws the waveform.
    /// False when the bed cannot be read or decoded: a message box has said why, and nothing
    /// changed.
    bool FormShow();
    /// Stops playback, releases the bed and deletes the work file (once).
    void FormClose();
    void BitBtn1Click();  // "Zapisz"
    void BitBtn2Click();  // "Graj"
    void BitBtn3Click();  // "Stop"
    void TrackBar1Change();
    void DXAudioOut1Progress();
    void DXAudioOut1Done();
    void ClearGraph();
    void GetWaveForm();
    void DrawGraph();
    void UnloadFileFromMemory();

    const QImage& Obraz() const { return bitmap_; }
    const std::vector<podklad::TKolumna>& Values() const { return values; }
    /// The bed's length in sample frames (N) and the track bar's maximum (M), set by FormShow.
    int64_t Ramek() const { return N_; }
    int64_t Maksimum() const { return M_; }
    /// The column of the image where the chosen point's line is drawn.
    int KolumnaPunktu() const;
    const std::filesystem::path& TempFileName() const { return tempFileName; }
    /// Why the last FormShow failed (the message box's text); empty after a good one.
    const std::string& Blad() const { return blad_; }
    TDXAudioOut& Odtwarzanie() { return DXAudioOut1; }

protected:
    void done(int r) override;
    void closeEvent(QCloseEvent* e) override;

private:
    int64_t Pozycja() const;
    void PokazPozycje();

    Okno& okno_;
    std::string podklad_;
    std::filesystem::path folderProgramu_;
    int64_t& punktMixu_;
    std::filesystem::path tempFileName;
    // The work file, read where it lies: a one-hour bed held in memory took 700 MB.
    std::unique_ptr<TAuStream> InputMS;
    std::vector<podklad::TKolumna> values;
    QImage bitmap_;
    int64_t N_ = 0, M_ = 0;
    bool zamkniety_ = false;
    std::string blad_;

    QWidget* Panel1;
    QLabel* Image1;
    QSlider* TrackBar1;
    QLabel* LPozycja;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn1;

    // Declared in this order so that playback ends before the reader and the stream go.
    TWaveIn WaveIn1;
    TAudioConverter AudioConverter1;
    TDXAudioOut DXAudioOut1;
};

}  // namespace tolvak
