#pragma once
// The window's font: Tahoma, which the window's pixel layout was drawn for. Debian's fonts-wine
// ships Wine's own metric twin of it with every Polish letter; where it is not installed the
// window falls back to DejaVu Sans.

#include <QFont>
#include <QString>

namespace tolvak::okno {

/// The family the window uses: "Tahoma" once its files are registered with Qt, else
/// "DejaVu Sans". Registers the files on the first call (an application must exist).
QString RodzinaCzcionki();

/// The window's font at a pixel height.
QFont Czcionka(int pikseli, bool pogrubiona = false);

}  // namespace tolvak::okno
