#pragma once
// The workstation's regional date and time formats, taken from the system locale.

#include <QLocale>

#include "platform/Regional.h"

namespace tolvak::okno {

/// The locale's short date and long time (without a time zone); the C locale keeps the
/// program's defaults, so a workstation without a locale logs as the headless mode does.
RegionalFormats RegionalneZLocale(const QLocale& locale);

}  // namespace tolvak::okno
