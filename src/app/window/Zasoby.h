#pragma once
// The project's own pictures (assets/png, built into the window library): button pictures at
// 1x and 2x and the program's icon.

#include <QIcon>

namespace tolvak::okno::Zasoby {

/// The picture "nazwa" (pobierz, plik, usun, folder, ok) with its 2x variant.
QIcon Obrazek(const char* nazwa);
/// The program's icon (window, notification area); "tolvak_alarm" is its variant for the
/// notification area while a failure or a missed hour stands.
QIcon Ikona();

}  // namespace tolvak::okno::Zasoby
