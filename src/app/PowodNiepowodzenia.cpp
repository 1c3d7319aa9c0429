#include "app/PowodNiepowodzenia.h"

#include <array>

#include "app/Log.h"

namespace tolvak {

namespace {

/// The lines that open a check, give its answer or close a failed run: never the reason.
bool Obramowanie(std::string_view m) {
    static constexpr std::array<std::string_view, 7> poczatki{
        "CzyJestSerwis: Sprawdzanie", "CzyJestSerwis: Sprawdzamy",   "CzyJestSerwis: Wynik ",
        "CzyJestSerwis: JEST",        "CzyJestSerwis: NIE MA",       "Usunięto pozostawione pliki",
        "Konfiguracja: "};
    static constexpr std::array<std::string_view, 3> cale{
        "AkcjaSerwis: Nieudane pobranie serwisu.", "AkcjaSerwis: Skasowano pliki tymczasowe.",
        "Nieudane pobranie serwisu z pliku lokalnego."};
    for (std::string_view p : poczatki)
        if (m.starts_with(p)) return true;
    for (std::string_view c : cale)
        if (m == c) return true;
    return m.starts_with("CzyJestAgoraDodatkowy (") && m.ends_with("): Sprawdzamy Agorę");
}

}  // namespace

PowodNiepowodzenia::PowodNiepowodzenia(Log& log) {
    auto dalej = std::move(log.OnLine);
    log.OnLine = [this, dalej = std::move(dalej)](std::string_view linia) {
        linie_.emplace_back(BezCzasu(linia));
        if (dalej) dalej(linia);
    };
}

std::string_view PowodNiepowodzenia::BezCzasu(std::string_view linia) {
    // The date and time hold colons but never ": ".
    const auto p = linia.find(": ");
    return p == std::string_view::npos ? linia : linia.substr(p + 2);
}

std::string PowodNiepowodzenia::Powod(bool przebieg) const {
    for (auto l = linie_.rbegin(); l != linie_.rend(); ++l)
        if (!Obramowanie(*l)) return *l;
    return przebieg && !linie_.empty() ? linie_.back() : std::string();
}

}  // namespace tolvak
