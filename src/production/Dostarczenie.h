#pragma once
// Output naming of the delivered file; the copy itself is KopiujPlik (sources/Pliki.h).

#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Okno.h"
#include "sources/Pliki.h"

namespace tolvak {

/// Naming modes of the delivered file (`NazwaWynikowaTyp`).
enum TrybNazwy : int { NazwaStala = 0, NazwaDataGodzina = 1, NazwaGodzina = 2 };

/// Output name = prefix + base + extension, for the moment `teraz`. The coming hour is the
/// current hour + 1 without wrapping (24 between 23:00 and 23:59; the date does not move).
/// `formatZapisu` 1 gives ".mp3", anything else ".wav"; an unknown naming mode counts as mode 1.
std::string NazwaWynikowaSerwisu(std::string_view prefiks, int trybNazwy,
                                 std::string_view nazwaStala, int formatZapisu,
                                 const LocalTime& teraz);

/// True when the fixed name `NazwaWynikowa` names a file inside the output folder: not empty or
/// blank, without "/", "\", ".." and control characters (a line break would forge log lines).
/// The production run refuses any other and the window's name field treats it as empty.
bool CzyDozwolonaNazwaWynikowa(std::string_view nazwa);

/// The output folder text followed by the name; a separator is put in between when the folder
/// text does not end in one.
std::string SciezkaDocelowa(std::string_view folderZapisu, std::string_view nazwa);

/// "yyyy-MM-dd" of `t`.
std::string DataTekst(const LocalTime& t);
/// "HH:mm:ss" of `t` (the long time format).
std::string CzasTekst(const LocalTime& t);

}  // namespace tolvak
