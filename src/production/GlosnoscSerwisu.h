#pragma once
// The loudness step of the production run, after the final compression and the sponsors:
// measured when section "Glosnosc" says `Pomiar=1`, set to `Cel` LUFS with the true peak at or
// below `SzczytMax` dBTP when a target is given. Silent when neither is set.

#include <string>

#include "platform/Okno.h"

namespace tolvak {

struct Ustawienia;
class Log;

/// Logs "AkcjaSerwis: Głośność: " + the measurement and, with a target,
/// "AkcjaSerwis: Korekta głośności: wzmocnienie +3.1 dB, po korekcie: " + the measurement after
/// it. A file that cannot be measured or rewritten is logged and left as it is; the run goes on.
void GlosnoscSerwisu(const Ustawienia& u, const std::string& wav, Log& log, Okno& okno);

}  // namespace tolvak
