#include "app/KontrolaKonfiguracji.h"

#include <exception>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/Kodowanie.h"

namespace tolvak {

std::string SprawdzPlikKonfiguracji(const std::filesystem::path& ini) {
    const std::string odmowa = "Brak pliku konfiguracji: " + ini.string();
    std::error_code ec;
    // Not a regular file: a folder, or a pipe that would block the read.
    if (!std::filesystem::is_regular_file(ini, ec)) return odmowa;
    std::string bajty;
    try {
        if (!ReadWholeFile(ini, bajty)) return odmowa;
    } catch (const std::exception&) {
        return odmowa;
    }
    const std::string tekst = OdczytajTekst(bajty).tekst;
    if (tekst.find_first_not_of(" \t\r\n\v\f") == std::string::npos) return odmowa;
    return {};
}

}  // namespace tolvak
