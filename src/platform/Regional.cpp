#include "platform/Regional.h"

#include <mutex>

namespace tolvak {

namespace {

std::mutex g_mutex;
RegionalFormats g_formats;

void AppendNumber(std::string& out, int value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0) out += '-';
    if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
    out += digits;
}

// Length of the run of `c` starting at `i`.
std::size_t Run(std::string_view s, std::size_t i) {
    std::size_t n = 1;
    while (i + n < s.size() && s[i + n] == s[i]) ++n;
    return n;
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, const LocalTime& t, char dateSeparator) {
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'' || c == '"') {
            const auto end = pattern.find(c, i + 1);
            const auto stop = end == std::string_view::npos ? pattern.size() : end;
            out.append(pattern.substr(i + 1, stop - i - 1));
            i = end == std::string_view::npos ? pattern.size() : end + 1;
            continue;
        }
        const std::size_t n = Run(pattern, i);
        switch (c) {
        case 'y':
            if (n >= 3) AppendNumber(out, t.year, 4);
            else AppendNumber(out, t.year % 100, n == 2 ? 2 : 1);
            break;
        case 'M': AppendNumber(out, t.month, n >= 2 ? 2 : 1); break;
        case 'd': AppendNumber(out, t.day, n >= 2 ? 2 : 1); break;
        case 'H': AppendNumber(out, t.hour, n >= 2 ? 2 : 1); break;
        case 'h': {
            const int h12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
            AppendNumber(out, h12, n >= 2 ? 2 : 1);
            break;
        }
        case 'm': AppendNumber(out, t.minute, n >= 2 ? 2 : 1); break;
        case 's': AppendNumber(out, t.second, n >= 2 ? 2 : 1); break;
        case 'z': AppendNumber(out, t.millisecond, n >= 2 ? 3 : 1); break;
        case '/': out.append(n, dateSeparator); break;
        default: out.append(n, c); break;
        }
        i += n;
    }
    return out;
}

std::string DateText(const LocalTime& t, const RegionalFormats& f) {
    return FormatDateTime(f.shortDate, t, f.dateSeparator);
}

std::string DateTimeText(const LocalTime& t, const RegionalFormats& f) {
    std::string s = DateText(t, f);
    if (t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0) return s;
    s += ' ';
    s += FormatDateTime(f.longTime, t, f.dateSeparator);
    return s;
}

RegionalFormats CurrentRegionalFormats() {
    std::lock_guard lock(g_mutex);
    return g_formats;
}

void SetRegionalFormats(const RegionalFormats& formats) {
    std::lock_guard lock(g_mutex);
    g_formats = formats;
}

RegionalFormats Fs(RegionalFormats regional) {
    regional.shortDate = "yyyy-MM-dd";
    regional.dateSeparator = '-';
    return regional;
}

RegionalFormats Fs() { return Fs(CurrentRegionalFormats()); }

int ComingHour(const LocalTime& t, int przesuniecieCzasowe) { return t.hour + 1 + przesuniecieCzasowe; }

// Below 10 the digits get a leading "0" or blank, exactly as the providers' names are built
// (a negative hour, possible only with a negative shift just after midnight, names no bulletin).
std::string ZeroPaddedHour(int hour) { return (hour < 10 ? "0" : "") + std::to_string(hour); }

std::string BlankPaddedHour(int hour) { return (hour < 10 ? " " : "") + std::to_string(hour); }

std::string ComingHourStamp(const LocalTime& t) {
    std::string s = DateText(t, Fs(RegionalFormats{}));
    s += ' ';
    AppendNumber(s, (t.hour + 1) % 24, 2);
    return s;
}

}  // namespace tolvak
