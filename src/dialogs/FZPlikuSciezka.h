#pragma once
// TFZPlikuSciezka, "Tolvak - lokalna ścieżka serwisu": shows the configured local bulletin file,
// whether it exists and when it was last modified, and lets the operator choose another one,
// saved at once. There is no confirm button: the dialog ends when its window is closed.

#include <QDialog>
#include <filesystem>

class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tolvak {

class Log;
struct Ustawienia;

class TFZPlikuSciezka : public QDialog {
    Q_OBJECT
public:
    /// `log`, when given, gets the line that a chosen file holding no sound shows.
    TFZPlikuSciezka(QWidget* parent, Ustawienia& ustawienia, std::filesystem::path ini,
                    Log* log = nullptr);

    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent*) override;

private:
    Ustawienia& u_;
    std::filesystem::path ini_;
    Log* log_;
    QLineEdit* LabeledEdit1;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* Button1;
    QFileDialog* OpenDialog1;
};

}  // namespace tolvak
