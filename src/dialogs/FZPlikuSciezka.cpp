#include "dialogs/FZPlikuSciezka.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <sys/stat.h>

#include "app/Konfiguracja.h"
#include "app/Log.h"
#include "app/window/Kontrolki.h"
#include "dialogs/ProbaDzwieku.h"
#include "dialogs/Wyglad.h"
#include "platform/Clock.h"
#include "platform/Ini.h"
#include "platform/Regional.h"

namespace tolvak {

namespace {

/// "Data ostatniej modyfikacji: " + the file's modification time, or nothing when it cannot be
/// read.
std::optional<QString> LiniaModyfikacji(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    const LocalTime t = LocalTime::fromTimeT(st.st_mtim.tv_sec,
                                             static_cast<int>(st.st_mtim.tv_nsec / 1000000));
    return QStringLiteral("Data ostatniej modyfikacji: ") +
           QString::fromStdString(DateTimeText(t, CurrentRegionalFormats()));
}

bool JestPlik(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

TFZPlikuSciezka::TFZPlikuSciezka(QWidget* parent, Ustawienia& ustawienia, std::filesystem::path ini,
                                 Log* log)
    : QDialog(parent), u_(ustawienia), ini_(std::move(ini)), log_(log) {
    dialogi::UstawOkno(this, "FZPlikuSciezka", QStringLiteral("Tolvak - lokalna ścieżka serwisu"),
                       479, 119);
    LabeledEdit1 = okno::LabeledEdit(this, "LabeledEdit1", QRect(8, 24, 463, 21),
                                     QStringLiteral("Lokalny plik z serwisem:"), true);
    Label1 = new QLabel(QStringLiteral("Jest czy nie ma"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 58, 380, 13);
    Button1 = new QPushButton(QStringLiteral("Zmień"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(396, 52, 75, 25);
    Button1->setAutoDefault(false);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 88, 463, 13);
    // A typed name of a file that does not exist is taken too.
    OpenDialog1 = okno::DialogOtwarcia(
        this, "OpenDialog1", QStringLiteral("Wskaż plik..."),
        {QStringLiteral("*.mp3 (*.mp3)"), QStringLiteral("*.mp2 (*.mp2)"), QStringLiteral("*.wav (*.wav)")},
        false);
    connect(Button1, &QPushButton::clicked, this, &TFZPlikuSciezka::Button1Click);
}

void TFZPlikuSciezka::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TFZPlikuSciezka::FormShow() {
    LabeledEdit1->setText(QString::fromStdString(u_.ZPlikuSciezka));
    if (JestPlik(u_.ZPlikuSciezka)) {
        Label1->setText(QStringLiteral("Plik istnieje."));
        if (auto linia = LiniaModyfikacji(u_.ZPlikuSciezka)) Label2->setText(*linia);
    } else {
        Label1->setText(QStringLiteral("Brak pliku"));
        Label2->clear();
    }
}

void TFZPlikuSciezka::Button1Click() {
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) return;
    const std::string path = OpenDialog1->selectedFiles().first().toStdString();
    u_.ZPlikuSciezka = path;
    LabeledEdit1->setText(QString::fromStdString(path));
    Label1->setText(QStringLiteral("Plik istnieje."));
    if (auto linia = LiniaModyfikacji(path)) Label2->setText(*linia);
    dialogi::Zapisz(this, [&] { IniFile(ini_).WriteString(sekcja::Ustawienia, "ZPlikuSciezka", path); });
    // A file not there yet is the other system's to write; one that is there must be sound.
    if (!JestPlik(path)) return;
    if (const auto powod = dialogi::PowodBrakuDzwieku(path)) {
        if (log_) log_->DodajDoLoga(*powod);
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Uwaga"), QString::fromStdString(*powod),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("MessageBox"));
        box.exec();
    }
}

}  // namespace tolvak
