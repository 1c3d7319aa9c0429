#include "dialogs/ProbaDzwieku.h"

#include <exception>

#include "audio/Dekoder.h"

namespace tolvak::dialogi {

std::optional<std::string> PowodBrakuDzwieku(const std::string& plik) {
    try {
        if (FormatDzwieku(plik)) return std::nullopt;
        return tolvak::BrakDzwieku(plik).what();
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
}

}  // namespace tolvak::dialogi
