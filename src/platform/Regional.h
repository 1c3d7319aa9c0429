#pragma once
// Regional date and time formats and the texts built from them.
//
// The log and the status texts use the workstation's regional settings (the Qt shell feeds the
// locale's via SetRegionalFormats; the default is "yyyy-MM-dd" and "HH:mm:ss"). The state file,
// the local file stamp and the output names use `fs`: the regional settings with the short date
// "yyyy-MM-dd" and the date separator '-'.

#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace tolvak {

struct RegionalFormats {
    std::string shortDate = "yyyy-MM-dd";
    std::string longTime = "HH:mm:ss";
    char dateSeparator = '-';
};

/// Renders `t` by a pattern: yyyy, yy, MM, M, dd, d, HH, H, hh, h, mm, m, ss, s, zzz
/// (milliseconds); '/' stands for the date separator; text in single or double quotes is
/// copied literally; any other character is copied as it is.
std::string FormatDateTime(std::string_view pattern, const LocalTime& t, char dateSeparator = '-');

/// Regional short date, a blank and the regional long time; at exactly midnight
/// (00:00:00.000) only the date.
std::string DateTimeText(const LocalTime& t, const RegionalFormats& formats);
/// Regional short date only.
std::string DateText(const LocalTime& t, const RegionalFormats& formats);

/// The process-wide regional settings (thread-safe).
RegionalFormats CurrentRegionalFormats();
void SetRegionalFormats(const RegionalFormats& formats);

/// `fs`: the given (by default the current) regional settings with the short date "yyyy-MM-dd"
/// and the date separator '-'.
RegionalFormats Fs();
RegionalFormats Fs(RegionalFormats regional);

/// Coming hour of the sources: current hour + 1 + shift, not reduced modulo 24 (23:40 -> 24).
int ComingHour(const LocalTime& t, int przesuniecieCzasowe);
/// "07" for 7, "17" for 17, "24" for 24.
std::string ZeroPaddedHour(int hour);
/// " 7" for 7, "17" for 17.
std::string BlankPaddedHour(int hour);

/// Coming-hour stamp of the state file: today's date "yyyy-MM-dd", a blank and the two-digit
/// hour of the time of day plus 60 minutes, wrapping to "00" without changing the date
/// (13:05 on 2 March 2015 -> "2015-03-02 14"; 23:30 -> "2015-03-02 00").
std::string ComingHourStamp(const LocalTime& t);

}  // namespace tolvak
