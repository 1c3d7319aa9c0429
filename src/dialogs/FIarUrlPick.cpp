#include "dialogs/FIarUrlPick.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cctype>

#include "app/Konfiguracja.h"
#include "app/window/Kontrolki.h"
#include "dialogs/Wyglad.h"
#include "platform/Ini.h"

namespace tolvak {

std::string AdresIAR(std::string_view wpisany) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!wpisany.empty() && blank(wpisany.front())) wpisany.remove_prefix(1);
    while (!wpisany.empty() && blank(wpisany.back())) wpisany.remove_suffix(1);
    std::string poczatek(wpisany.substr(0, 4));
    for (char& c : poczatek) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (poczatek != "http") return "http://" + std::string(wpisany);
    return std::string(wpisany);
}

TFIarUrlPick::TFIarUrlPick(QWidget* parent, Ustawienia& ustawienia, std::filesystem::path ini)
    : QDialog(parent), u_(ustawienia), ini_(std::move(ini)) {
    dialogi::UstawOkno(this, "FIarUrlPick", QStringLiteral("Tolvak - IAR API URL"), 494, 108);
    LabeledEdit1 = okno::LabeledEdit(this, "LabeledEdit1", QRect(8, 24, 478, 21),
                                     QStringLiteral("Adres URL do pliku XML z wiadomościami IAR:"),
                                     false);
    Button1 = new QPushButton(QStringLiteral("Zapisz i zamknij"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(366, 62, 120, 25);
    connect(Button1, &QPushButton::clicked, this, &TFIarUrlPick::Button1Click);
}

void TFIarUrlPick::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TFIarUrlPick::FormShow() { LabeledEdit1->setText(QString::fromStdString(u_.iarURL)); }

void TFIarUrlPick::Button1Click() {
    const std::string adres = AdresIAR(LabeledEdit1->text().toStdString());
    u_.iarURL = adres;
    dialogi::Zapisz(this, [&] { IniFile(ini_).WriteString(sekcja::Ustawienia, "iarURL", adres); });
    accept();
}

}  // namespace tolvak
