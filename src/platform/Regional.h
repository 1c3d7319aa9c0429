#pragma once
// Regional date and time formats and the texts built from them.
//
// The log and the status texts use the workstation's regional settings: the short date and the
// long time of the process's LC_TIME locale, read once at start (RegionalneFormatyZSrodowiska,
// set with SetRegionalFormats). The C/POSIX locale has no regional settings and keeps
// "yyyy-MM-dd" and "HH:mm:ss". The state file, the local file stamp and the output names use
// `fs`: "yyyy-MM-dd", the date separator '-' and "HH:mm:ss" in every locale.

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
/// (milliseconds), AP ("AM" or "PM"); '/' stands for the date separator; text in single or
/// double quotes is copied literally; any other character is copied as it is.
std::string FormatDateTime(std::string_view pattern, const LocalTime& t, char dateSeparator = '-');

/// Regional short date, a blank and the regional long time; at exactly midnight
/// (00:00:00.000) only the date.
std::string DateTimeText(const LocalTime& t, const RegionalFormats& formats);
/// Regional short date only.
std::string DateText(const LocalTime& t, const RegionalFormats& formats);

/// The process-wide regional settings (thread-safe).
RegionalFormats CurrentRegionalFormats();
void SetRegionalFormats(const RegionalFormats& formats);

/// "The regional short date and long time" of a moment, by the process-wide settings (only the
/// date at exactly midnight): the log's timestamp and the status texts ("Test: ...",
/// "Ostatnie pobranie: ...").
std::string RegionalnaDataICzas(const LocalTime& t);
/// The regional long time alone (the countdown's "Jest ...", the last delivery's third line).
std::string RegionalnyCzas(const LocalTime& t);

/// The regional settings of the LC_TIME locale that the environment names (LC_ALL, else
/// LC_TIME, else LANG): its nl_langinfo D_FMT and T_FMT as patterns. The C and POSIX locales
/// (also C.UTF-8), an unset environment and a locale that is not installed give the defaults.
RegionalFormats RegionalneFormatyZSrodowiska();
/// The same for a locale by name ("pl_PL.UTF-8").
RegionalFormats RegionalneFormatyLocale(const std::string& nazwa);
/// A strftime format as a pattern of FormatDateTime ("%d.%m.%Y" gives "dd.MM.yyyy"); a
/// conversion the patterns cannot express (weekday and month names, time zone) is left out.
std::string WzorzecZStrftime(std::string_view format);

/// `fs`: the short date "yyyy-MM-dd", the date separator '-' and the long time "HH:mm:ss", so
/// the stamps compared as texts order moments whatever the locale (a 12-hour clock would not).
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
