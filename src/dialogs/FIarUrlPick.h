#pragma once
// TFIarUrlPick, "Tolvak - IAR API URL": the address of the IAR feed. "Zapisz i zamknij" saves
// it (with "http://" put in front of a text that does not begin with "http") and closes;
// closing by the frame saves nothing.

#include <QDialog>
#include <filesystem>
#include <string>
#include <string_view>

class QLineEdit;
class QPushButton;

namespace tolvak {

struct Ustawienia;

class TFIarUrlPick : public QDialog {
    Q_OBJECT
public:
    TFIarUrlPick(QWidget* parent, Ustawienia& ustawienia, std::filesystem::path ini);

    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent*) override;

private:
    Ustawienia& u_;
    std::filesystem::path ini_;
    QLineEdit* LabeledEdit1;
    QPushButton* Button1;
};

/// The address as it is stored: blanks around it removed, "http://" in front unless its first
/// four characters are "http" in any letter case.
std::string AdresIAR(std::string_view wpisany);

}  // namespace tolvak
