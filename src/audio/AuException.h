#pragma once
// The error type of the PCM components.

#include <stdexcept>
#include <string_view>

#include "platform/Bledy.h"

namespace tolvak {

/// The error every PCM component raises.
class EAuException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Raises the EAuException of a file the system refused, in the words of platform/Bledy.h
/// ("Nie można zapisać pliku /srv/tvtemp2.wav: brak miejsca na dysku").
[[noreturn]] inline void ZglosBladPlikuAu(OperacjaNaPliku operacja, std::string_view plik, int err) {
    throw EAuException(BladPliku(operacja, plik, err).what());
}

}  // namespace tolvak
