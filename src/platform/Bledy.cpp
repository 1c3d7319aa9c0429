#include "platform/Bledy.h"

#include <array>
#include <cerrno>

namespace tolvak {

namespace {

class Kategoria final : public std::error_category {
public:
    const char* name() const noexcept override { return "tolvak"; }
    std::string message(int err) const override { return OpisBledu(err); }
    std::error_condition default_error_condition(int err) const noexcept override {
        return std::error_condition(err, std::generic_category());
    }
};

}  // namespace

std::string OpisBledu(int err) {
    switch (err) {
        case ENOENT:
            return "brak takiego pliku";
        case ENOTDIR:
            return "brak takiego folderu";
        case EACCES:
        case EPERM:
            return "brak uprawnień";
        case ENOSPC:
        case EDQUOT:
            return "brak miejsca na dysku";
        case EROFS:
            return "system plików tylko do odczytu";
        case EISDIR:
            return "to jest folder";
        case EEXIST:
            return "plik już istnieje";
        case ELOOP:
            return "dowiązanie symboliczne nie jest dozwolone";
        case static_cast<int>(PowodOdmowy::NieZwyklyPlik):
            return "to nie jest zwykły plik";
        case static_cast<int>(PowodOdmowy::ZaDuzyPlik):
            return "plik jest za duży";
        default:
            return std::generic_category().message(err);
    }
}

const std::error_category& KategoriaBledow() {
    static const Kategoria kategoria;
    return kategoria;
}

std::string OpisOperacji(OperacjaNaPliku operacja, std::string_view plik) {
    // In the order of OperacjaNaPliku.
    static constexpr std::array<std::string_view, 7> kCzynnosci{
        "otworzyć", "utworzyć", "odczytać", "zapisać", "zamknąć", "zastąpić", "usunąć"};
    return "Nie można " + std::string(kCzynnosci.at(static_cast<std::size_t>(operacja))) +
           " pliku " + std::string(plik);
}

std::system_error BladPliku(OperacjaNaPliku operacja, std::string_view plik, int err) {
    return std::system_error(err, KategoriaBledow(), OpisOperacji(operacja, plik));
}

void ZglosBladPliku(OperacjaNaPliku operacja, std::string_view plik, int err) {
    throw BladPliku(operacja, plik, err);
}

void ZglosBladPliku(OperacjaNaPliku operacja, std::string_view plik, PowodOdmowy powod) {
    throw BladPliku(operacja, plik, static_cast<int>(powod));
}

}  // namespace tolvak
