#pragma once
// TFFolder, "Wybierz folder...": the output folder picker. The caller sets FolderZapisu, runs
// the dialog and reads FolderZapisu back: after OK it is the folder shown in Label1 with a
// trailing separator, after any other close the entry value. An empty result is refused.
//
// The tree's top is the computer node "Komputer"; below it lie the user's home folder and the
// file system root, each folder's subfolders read when it is first opened. It opens at the
// entry folder; "Anuluj" closes as the close button does.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tolvak {

class TFFolder : public QDialog {
    Q_OBJECT
public:
    /// Display name of the computer node, which has no file-system path.
    static inline const QString Komputer = QStringLiteral("Komputer");

    explicit TFFolder(QWidget* parent);

    QString FolderZapisu;

    void FormShow();
    void ShellTreeView1Change(QTreeWidgetItem* node);
    void BitBtn1Click();
    /// False (with the message) while FolderZapisu is empty.
    bool FormCloseQuery();

    /// Selects the node of `folder` (opening its parents); nullptr when it is not in the tree.
    QTreeWidgetItem* ZaznaczFolder(const QString& folder);
    QTreeWidgetItem* WezelKomputera() const { return komputer_; }

    void done(int r) override;

protected:
    void showEvent(QShowEvent*) override;

private:
    QTreeWidgetItem* Wezel(QTreeWidgetItem* parent, const QString& path, const QString& text);
    void Rozwin(QTreeWidgetItem* node);

    QTreeWidget* ShellTreeView1;
    QLabel* Label1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QTreeWidgetItem* komputer_ = nullptr;
};

}  // namespace tolvak
