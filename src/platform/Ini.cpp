#include "platform/Ini.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/Bledy.h"
#include "platform/Kodowanie.h"

namespace tolvak {

namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::size_t kMaxValue = 2047;

std::string_view Trim(std::string_view s) {
    const auto b = s.find_first_not_of(kBlanks);
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(kBlanks);
    return s.substr(b, e - b + 1);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

struct Document {
    Kodowanie kodowanie = Kodowanie::Utf8;  // the file's own, kept on rewrite
    std::vector<std::string> lines;         // UTF-8, without line ends
};

Document Parse(const std::string& bytes) {
    Document doc;
    TekstPliku tekst = OdczytajTekst(bytes);
    doc.kodowanie = tekst.kodowanie;
    std::string_view rest(tekst.tekst);
    while (!rest.empty()) {
        const auto nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        if (line.ends_with('\r')) line.remove_suffix(1);
        doc.lines.emplace_back(line);
        if (nl == std::string_view::npos) break;
        rest.remove_prefix(nl + 1);
    }
    return doc;
}

std::string Serialize(const Document& doc) {
    std::string out;
    for (const auto& l : doc.lines) {
        out += l;
        out += "\r\n";
    }
    // A setting must never lose a letter: text that Windows-1250 cannot hold (a path with
    // Cyrillic letters) turns the file into UTF-8.
    Kodowanie kodowanie = doc.kodowanie;
    if (kodowanie == Kodowanie::Windows1250 && !MiesciSieWWindows1250(out)) kodowanie = Kodowanie::Utf8;
    return ZapiszTekst(out, kodowanie);
}

// Reads the file; a missing or unreadable file is an empty document.
Document Load(const std::filesystem::path& file) {
    std::string bytes;
    try {
        ReadWholeFile(file, bytes);
    } catch (const std::exception&) {
        bytes.clear();
    }
    return Parse(bytes);
}

enum class Kind { Other, Section, Key };

struct Classified {
    Kind kind = Kind::Other;
    std::string_view name;   // section or key name, trimmed
    std::size_t valuePos = 0;  // for keys: offset just after '='
};

Classified Classify(std::string_view line) {
    Classified c;
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#') return c;
    if (t.front() == '[') {
        std::string_view name = t.substr(1);
        const auto close = name.find(']');
        if (close != std::string_view::npos) name = name.substr(0, close);
        c.kind = Kind::Section;
        c.name = Trim(name);
        return c;
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return c;
    c.kind = Kind::Key;
    c.name = Trim(line.substr(0, eq));
    c.valuePos = eq + 1;
    return c;
}

// Index of the line holding the key, searched through every section of that name in order.
std::optional<std::size_t> FindKey(const Document& doc, std::string_view section, std::string_view key) {
    bool inSection = false;
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const Classified c = Classify(doc.lines[i]);
        if (c.kind == Kind::Section)
            inSection = EqualNoCase(c.name, section);
        else if (inSection && c.kind == Kind::Key && EqualNoCase(c.name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> FindSection(const Document& doc, std::string_view section) {
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const Classified c = Classify(doc.lines[i]);
        if (c.kind == Kind::Section && EqualNoCase(c.name, section)) return i;
    }
    return std::nullopt;
}

std::string CleanValue(std::string_view raw) {
    std::string_view v = Trim(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    if (v.size() > kMaxValue) {
        std::size_t cut = kMaxValue;
        // Never split a UTF-8 sequence: back off over continuation bytes.
        while (cut > 0 && (static_cast<unsigned char>(v[cut]) & 0xC0) == 0x80) --cut;
        v = v.substr(0, cut);
    }
    return std::string(v);
}

void CheckName(const std::filesystem::path& file, std::string_view what, std::string_view name,
               bool isKey) {
    const std::string_view t = Trim(name);
    bool bad = t.empty() || name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
    if (isKey) bad = bad || name.find('=') != std::string_view::npos || t.front() == '[' ||
                     t.front() == ';' || t.front() == '#';
    else bad = bad || name.find(']') != std::string_view::npos;
    if (bad)
        throw std::invalid_argument(OpisOperacji(OperacjaNaPliku::Zapis, file.native()) + ": nieprawidłowa nazwa " +
                                    std::string(what) + " \"" + std::string(name) + "\"");
}

}  // namespace

IniFile::IniFile(std::filesystem::path file) : file_(std::move(file)) {}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const Document doc = Load(file_);
    const auto i = FindKey(doc, section, key);
    if (!i) return std::string(defaultValue);
    const Classified c = Classify(doc.lines[*i]);
    return CleanValue(std::string_view(doc.lines[*i]).substr(c.valuePos));
}

bool IniFile::ParseInteger(std::string_view text, int& value) {
    std::string_view t = Trim(text);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty()) return false;
    int64_t v = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t.remove_prefix(2);
        if (t.size() > 8) return false;
        for (char ch : t) {
            int d;
            if (ch >= '0' && ch <= '9') d = ch - '0';
            else if (ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
            else if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
            else return false;
            v = v * 16 + d;
        }
        // Eight hex digits are a 32-bit pattern: 0xFFFFFFFF is -1.
        const int32_t bits = static_cast<int32_t>(static_cast<uint32_t>(v));
        if (negative && bits == INT32_MIN) return false;
        value = negative ? -bits : bits;
        return true;
    }
    for (char ch : t) {
        if (ch < '0' || ch > '9') return false;
        v = v * 10 + (ch - '0');
        if (v > static_cast<int64_t>(INT32_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    int v = 0;
    return ParseInteger(ReadString(section, key, ""), v) ? v : defaultValue;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    CheckName(file_, "sekcji", section, false);
    CheckName(file_, "klucza", key, true);
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        throw std::invalid_argument(OpisOperacji(OperacjaNaPliku::Zapis, file_.native()) + ": wartość klucza \"" +
                                    std::string(key) + "\" zawiera koniec wiersza lub znak NUL");

    // A file that exists but cannot be read must not be replaced by a one-key file.
    std::string bytes;
    ReadWholeFile(file_, bytes);
    Document doc = Parse(bytes);

    if (const auto i = FindKey(doc, section, key)) {
        // Keep the line's own spelling of the key and its blanks around "=".
        std::string& line = doc.lines[*i];
        std::size_t keep = Classify(line).valuePos;
        while (keep < line.size() && (line[keep] == ' ' || line[keep] == '\t')) ++keep;
        line = line.substr(0, keep) + std::string(value);
    } else if (const auto s = FindSection(doc, section)) {
        // After the section's last non-blank line, before any blank lines that precede the next.
        std::size_t insertAt = *s + 1;
        for (std::size_t j = *s + 1; j < doc.lines.size(); ++j) {
            if (Classify(doc.lines[j]).kind == Kind::Section) break;
            if (!Trim(doc.lines[j]).empty()) insertAt = j + 1;
        }
        doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                         std::string(Trim(key)) + "=" + std::string(value));
    } else {
        if (!doc.lines.empty() && !Trim(doc.lines.back()).empty()) doc.lines.emplace_back();
        doc.lines.push_back("[" + std::string(Trim(section)) + "]");
        doc.lines.push_back(std::string(Trim(key)) + "=" + std::string(value));
    }
    WriteFileAtomically(file_, Serialize(doc));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    std::string bytes;
    if (!ReadWholeFile(file_, bytes)) return;
    Document doc = Parse(bytes);
    const auto i = FindKey(doc, section, key);
    if (!i) return;
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(*i));
    WriteFileAtomically(file_, Serialize(doc));
}

bool IniFile::SectionExists(std::string_view section) const {
    return FindSection(Load(file_), section).has_value();
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return FindKey(Load(file_), section, key).has_value();
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    const Document doc = Load(file_);
    std::vector<std::string> keys;
    bool inSection = false;
    for (const auto& line : doc.lines) {
        const Classified c = Classify(line);
        if (c.kind == Kind::Section)
            inSection = EqualNoCase(c.name, section);
        else if (inSection && c.kind == Kind::Key && !c.name.empty())
            keys.emplace_back(c.name);
    }
    return keys;
}

}  // namespace tolvak
