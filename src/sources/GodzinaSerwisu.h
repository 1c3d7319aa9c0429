#pragma once
// The coming hour as the providers name it: the hour that the sources look for, the package
// service's phrases and the ZPR server's weekday folders and file names.

#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace tolvak {

/// The time shift that counts: `PrzesuniecieCzasowe` from -5 to 5, any other value 0.
int PrzesuniecieSerwisu(int PrzesuniecieCzasowe);

/// Weekday folder and file code of the ZPR server ("1_pon" and "PON" for Monday ...
/// "5_pia" and "PT" for Friday ... "7_nie" and "NIE" for Sunday).
struct DzienZPR {
    std::string_view folder;
    std::string_view kod;
};
DzienZPR DzienZPRDla(int weekday);

/// Path of the coming hour's bulletin below the ZPR login folder:
/// folder + "/SERWIS_" + code + "_" + zero-padded hour + "00.mp3".
std::string SciezkaZPR(const LocalTime& teraz, int godzina);

/// The package service's label of a bulletin: today's date "yyyy-MM-dd", a blank, `nazwa`
/// ("Dziennik", "Sport", "Ekonomia"), a blank, the blank-padded hour and ":00".
std::string FrazaZet(const LocalTime& teraz, std::string_view nazwa, int godzina);

}  // namespace tolvak
