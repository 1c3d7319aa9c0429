#pragma once
// What the small dialogs share: the font and the tool-window frame of fixed size.

#include <QDialog>
#include <QFont>
#include <QMessageBox>
#include <exception>
#include <functional>

#include "app/window/Czcionki.h"

namespace tolvak::dialogi {

inline QFont Czcionka() { return okno::Czcionka(11); }

/// A small tool-window frame that cannot be resized, centred on its parent when shown.
inline void UstawOkno(QDialog* d, const char* name, const QString& caption, int w, int h) {
    d->setObjectName(QString::fromLatin1(name));
    d->setWindowTitle(caption);
    d->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    d->setFixedSize(w, h);
    d->setFont(Czcionka());
    d->setModal(true);
}

/// Saves a setting; a file that cannot be written is said so instead of passing for saved.
inline void Zapisz(QWidget* parent, const std::function<void()>& zapis) {
    try {
        zapis();
    } catch (const std::exception& e) {
        QMessageBox::critical(parent, QStringLiteral("Błąd"), QString::fromUtf8(e.what()));
    }
}

}  // namespace tolvak::dialogi
