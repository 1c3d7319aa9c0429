#pragma once
// What `--headless --verbose` says on standard error at its start, so that an engineer watching the journal sees
// at once what the scheduler will do instead of five silent minutes: one line per kind that will
// be fetched (its source, its bed, the next hour it is wanted for) and the moment of the first
// check.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace tolvak {

struct Ustawienia;
class Matryca;

/// "Harmonogram: News z serwis paczek, podkład /srv/bed.mp3, najbliższa chciana godzina
/// 2024-05-06 14" for each kind produced ("bez podkładu" when none is set; "brak chcianej
/// godziny w matrycy" when the week has none), then "Harmonogram: pierwsze sprawdzenie " + the
/// regional date and time of `pierwszeSprawdzenie`. `dat` is the state file: the coming hour
/// already delivered is not wanted any more.
std::vector<std::string> PodsumowanieStartu(const Ustawienia& u, const Matryca& matryca,
                                            const std::filesystem::path& dat, const LocalTime& teraz,
                                            const LocalTime& pierwszeSprawdzenie);

}  // namespace tolvak
