#pragma once
// The weekly hour matrix as data: 7 days (1 = Monday ... 7 = Sunday) x 17 hours (6 ... 22) =
// 119 cells. Cell of day d, hour h: name "mshape" + d + h ("mshape16", "mshape110",
// "mshape722"), tag = the integer of the digits of d followed by h (16, 110, 722), state wanted
// (green) or not wanted (red). Configuration keys: section "Matryca", key "d" + tag, Boolean
// "1"/"0"; a missing or non-integer value is not wanted, any non-zero integer is wanted.
//
// Wczytaj is the reading part of RysujMatryce (once, at the first showing of the window);
// ZmienStatusGodziny toggles a cell and writes its key before returning. The window draws the
// cells from this data; there is no other copy of the state. Thread-safe.

#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tolvak {

struct KolorRGB {
    uint8_t r, g, b;
    friend bool operator==(const KolorRGB&, const KolorRGB&) = default;
};

class Matryca {
public:
    static constexpr int PierwszyDzien = 1, OstatniDzien = 7;
    static constexpr int PierwszaGodzina = 6, OstatniaGodzina = 22;
    static constexpr int LiczbaGodzin = OstatniaGodzina - PierwszaGodzina + 1;  // 17
    static constexpr int LiczbaKomorek = 7 * LiczbaGodzin;                      // 119
    static constexpr KolorRGB KolorChciany{0, 128, 0};     // green: wanted
    static constexpr KolorRGB KolorNiechciany{255, 0, 0};  // red: not wanted
    /// Row captions, Monday first.
    static constexpr std::array<std::string_view, 7> NazwyDni{"pn", "wt", "śr", "czw",
                                                              "pt", "sb", "nd"};

    struct Komorka {
        int dzien = 0;    // 1..7
        int godzina = 0;  // 6..22
        std::string nazwa;  // "mshape" + d + h
        int tag = 0;        // d followed by h
        bool chciana = false;
        KolorRGB Kolor() const { return chciana ? KolorChciany : KolorNiechciany; }
    };

    /// All cells not wanted until Wczytaj.
    explicit Matryca(std::filesystem::path ini);

    /// Reads the 119 keys of section "Matryca". An unreadable file leaves every cell red.
    void Wczytaj();

    /// Toggles the cell and writes "1" (now wanted) or "0" into section "Matryca" at once.
    /// Returns the new state. A failed write throws; the cell keeps its new state.
    /// std::out_of_range for a tag that is no cell.
    bool ZmienStatusGodziny(int tag);

    /// Look-up by name; no cell for any other name (hour 5, 23, 24, day 0 or 8 ...).
    std::optional<Komorka> ZnajdzKomorke(std::string_view nazwa) const;
    std::optional<Komorka> KomorkaDla(int dzien, int godzina) const;
    /// Wanted state of the cell named so; false when no such cell exists.
    bool CzyChciana(std::string_view nazwa) const;

    static std::string NazwaKomorki(int dzien, int godzina);
    static int TagKomorki(int dzien, int godzina);
    static std::string KluczKomorki(int tag);

private:
    static int Indeks(int dzien, int godzina);  // -1 outside the grid
    std::filesystem::path ini_;
    mutable std::mutex mutex_;
    std::array<bool, LiczbaKomorek> chciana_{};
};

}  // namespace tolvak
