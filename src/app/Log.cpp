#include "app/Log.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <vector>

#include "platform/AtomicFile.h"

namespace tolvak {

namespace {

enum class Encoding { Native, Utf8Bom, Utf16LE, Utf16BE };

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) -> char16_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t lo = unit(i + 2);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

// Lenient UTF-8 decoding: a byte that starts no valid sequence becomes U+FFFD.
std::vector<char32_t> DecodeUtf8(std::string_view s) {
    std::vector<char32_t> cps;
    cps.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = len > 0 && i + static_cast<std::size_t>(len) <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((cc & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            cps.push_back(0xFFFD);
            ++i;
        } else {
            cps.push_back(cp);
            i += static_cast<std::size_t>(len);
        }
    }
    return cps;
}

std::string Utf8ToUtf16(std::string_view s, bool bigEndian) {
    std::string out;
    auto put = [&](char16_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        if (bigEndian) { out += hi; out += lo; }
        else { out += lo; out += hi; }
    };
    for (char32_t cp : DecodeUtf8(s)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
    return out;
}

// The file's text as UTF-8 (or native bytes) and the encoding to write it back in.
std::string Decode(const std::string& bytes, Encoding& enc) {
    std::string_view b(bytes);
    if (b.starts_with(kUtf8Bom)) {
        enc = Encoding::Utf8Bom;
        return std::string(b.substr(3));
    }
    if (b.size() >= 2 && b[0] == '\xFF' && b[1] == '\xFE') {
        enc = Encoding::Utf16LE;
        return Utf16ToUtf8(b.substr(2), false);
    }
    if (b.size() >= 2 && b[0] == '\xFE' && b[1] == '\xFF') {
        enc = Encoding::Utf16BE;
        return Utf16ToUtf8(b.substr(2), true);
    }
    enc = Encoding::Native;
    return bytes;
}

std::string Encode(const std::string& text, Encoding enc) {
    switch (enc) {
    case Encoding::Utf8Bom: return std::string(kUtf8Bom) + text;
    case Encoding::Utf16LE: return "\xFF\xFE" + Utf8ToUtf16(text, false);
    case Encoding::Utf16BE: return "\xFE\xFF" + Utf8ToUtf16(text, true);
    case Encoding::Native: break;
    }
    return text;
}

// Lines separated by CR LF, LF or CR; a final line end ends the last line.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

}  // namespace

Log::Log(std::filesystem::path logFile, const Clock& clock, RegionalFormats formats)
    : file_(std::move(logFile)), clock_(clock), formats_(std::move(formats)) {}

void Log::SetCzyLog(bool on) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    czyLog_ = on;
}

bool Log::CzyLog() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return czyLog_;
}

void Log::SetFormats(const RegionalFormats& formats) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    formats_ = formats;
}

void Log::DodajDoLoga(std::string_view komunikat) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::string line;
    try {
        line = DateTimeText(clock_.now(), formats_) + ": " + std::string(komunikat);
        if (OnLine) OnLine(line);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvak: log: %s\n", e.what());
    }
    if (!czyLog_ || line.empty()) return;

    try {
        std::string bytes;
        ReadWholeFile(file_, bytes);
        Encoding enc = Encoding::Native;
        std::vector<std::string> lines = SplitLines(Decode(bytes, enc));
        lines.insert(lines.begin(), line);
        if (lines.size() > MaksymalnaLiczbaLinii) lines.resize(MaksymalnaLiczbaLinii);
        std::string text;
        for (const auto& l : lines) {
            text += l;
            text += "\r\n";
        }
        WriteFileAtomically(file_, Encode(text, enc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvak: log entry lost (%s): %s\n", e.what(), line.c_str());
    }
}

}  // namespace tolvak
