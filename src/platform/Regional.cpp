#include "platform/Regional.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cstdlib>
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
        if (pattern.substr(i).starts_with("AP")) {
            out += t.hour < 12 ? "AM" : "PM";
            i += 2;
            continue;
        }
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

std::string RegionalnaDataICzas(const LocalTime& t) { return DateTimeText(t, CurrentRegionalFormats()); }

std::string RegionalnyCzas(const LocalTime& t) {
    const RegionalFormats f = CurrentRegionalFormats();
    return FormatDateTime(f.longTime, t, f.dateSeparator);
}

std::string WzorzecZStrftime(std::string_view format) {
    std::string out;
    std::string literal;
    // Literal text is quoted when the patterns would read it (letters, '/').
    auto dodajLiteral = [&] {
        if (literal.empty()) return;
        bool cytuj = false;
        for (char ch : literal) cytuj = cytuj || std::isalpha(static_cast<unsigned char>(ch)) || ch == '/';
        out += cytuj ? "'" + literal + "'" : literal;
        literal.clear();
    };
    auto pole = [&](const char* wzorzec) {
        dodajLiteral();
        out += wzorzec;
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '\'' || c == '"') continue;  // a quote cannot be quoted in the patterns
        if (c != '%' || i + 1 == format.size()) {
            literal += c;
            continue;
        }
        ++i;
        bool bezZera = false;  // "%-d": no padding
        while (i < format.size() && std::string_view("-_0^#").find(format[i]) != std::string_view::npos)
            bezZera = bezZera || format[i++] == '-';
        while (i < format.size() && (std::isdigit(static_cast<unsigned char>(format[i])) ||
                                     format[i] == 'E' || format[i] == 'O'))
            ++i;
        if (i == format.size()) break;
        switch (format[i]) {
        case 'd': pole(bezZera ? "d" : "dd"); break;
        case 'e': pole("d"); break;
        case 'm': pole(bezZera ? "M" : "MM"); break;
        case 'y': pole("yy"); break;
        case 'Y': pole("yyyy"); break;
        case 'H': pole(bezZera ? "H" : "HH"); break;
        case 'k': pole("H"); break;
        case 'I': pole(bezZera ? "h" : "hh"); break;
        case 'l': pole("h"); break;
        case 'M': pole(bezZera ? "m" : "mm"); break;
        case 'S': pole(bezZera ? "s" : "ss"); break;
        case 'p':
        case 'P': pole("AP"); break;
        case 'D': pole("MM'/'dd'/'yy"); break;
        case 'F': pole("yyyy-MM-dd"); break;
        case 'T': pole("HH:mm:ss"); break;
        case 'R': pole("HH:mm"); break;
        case 'r': pole("hh:mm:ss AP"); break;
        case '%': literal += '%'; break;
        case 'n':
        case 't': literal += ' '; break;
        default: break;
        }
    }
    dodajLiteral();
    return out;
}

RegionalFormats RegionalneFormatyLocale(const std::string& nazwa) {
    RegionalFormats f;
    if (nazwa.empty() || nazwa == "C" || nazwa == "POSIX" || nazwa.starts_with("C.")) return f;
    const locale_t loc = ::newlocale(LC_TIME_MASK, nazwa.c_str(), static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return f;
    const std::string data = ::nl_langinfo_l(D_FMT, loc);
    const std::string czas = ::nl_langinfo_l(T_FMT, loc);
    ::freelocale(loc);
    const std::string wzorzecDaty = WzorzecZStrftime(data);
    const std::string wzorzecCzasu = WzorzecZStrftime(czas);
    if (wzorzecDaty.empty() || wzorzecCzasu.empty()) return f;
    f.shortDate = wzorzecDaty;
    f.longTime = wzorzecCzasu;
    // The separator: the punctuation that follows the date's first conversion ("%d.%m.%Y").
    if (data.size() > 2 && data[0] == '%' && data[2] != '%' &&
        std::ispunct(static_cast<unsigned char>(data[2])))
        f.dateSeparator = data[2];
    return f;
}

RegionalFormats RegionalneFormatyZSrodowiska() {
    for (const char* zmienna : {"LC_ALL", "LC_TIME", "LANG"})
        if (const char* v = std::getenv(zmienna); v && *v) return RegionalneFormatyLocale(v);
    return {};
}

RegionalFormats Fs(RegionalFormats regional) {
    regional.shortDate = "yyyy-MM-dd";
    regional.dateSeparator = '-';
    regional.longTime = "HH:mm:ss";
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
