#pragma once
// Error texts an operator can act on: the operation, the file and the system's reason, in Polish
// like the rest of the log ("Nie można otworzyć pliku /srv/podklad.wav: brak takiego pliku").
// Every error that the program raises about a file is built here, so the log reads the same
// whichever layer failed.

#include <string>
#include <string_view>
#include <system_error>

namespace tolvak {

/// What was being done to the file when the system refused.
enum class OperacjaNaPliku {
    Otwarcie,     // "Nie można otworzyć pliku X"
    Utworzenie,   // "Nie można utworzyć pliku X"
    Odczyt,       // "Nie można odczytać pliku X"
    Zapis,        // "Nie można zapisać pliku X"
    Zamkniecie,   // "Nie można zamknąć pliku X"
    Zastapienie,  // "Nie można zastąpić pliku X" (the rename over the target)
    Usuniecie,    // "Nie można usunąć pliku X"
};

/// Reasons of the program's own for refusing a file, numbered beyond every errno value so that
/// they travel in the same error code as the system's.
enum class PowodOdmowy : int {
    NieZwyklyPlik = 0x10000,  // "to nie jest zwykły plik" (a FIFO, a device, a socket)
    ZaDuzyPlik,               // "plik jest za duży"
};

/// The system's reason for `err` (an errno value) in Polish for the common errors: "brak takiego
/// pliku" (ENOENT), "brak takiego folderu" (ENOTDIR), "brak uprawnień" (EACCES, EPERM), "brak
/// miejsca na dysku" (ENOSPC, EDQUOT), "system plików tylko do odczytu" (EROFS), "to jest
/// folder" (EISDIR), "plik już istnieje" (EEXIST), "dowiązanie symboliczne nie jest dozwolone"
/// (ELOOP, what O_NOFOLLOW answers for a link), and the PowodOdmowy texts; strerror's text
/// otherwise.
std::string OpisBledu(int err);

/// An error category whose messages are OpisBledu and whose conditions are the generic ones, so
/// `e.code() == std::errc::no_space_on_device` holds for an error built with it.
const std::error_category& KategoriaBledow();

/// "Nie można otworzyć pliku " + plik, and so on: the operation and the file, without a reason.
std::string OpisOperacji(OperacjaNaPliku operacja, std::string_view plik);

/// The error to throw: a std::system_error (so a std::runtime_error too) whose what() is
/// OpisOperacji(operacja, plik) + ": " + OpisBledu(err) and whose code() is {err,
/// KategoriaBledow()}.
std::system_error BladPliku(OperacjaNaPliku operacja, std::string_view plik, int err);

/// Throws BladPliku(operacja, plik, err). The file comes as a view (`path.native()` for a path),
/// so building the call allocates nothing that could change errno before it is read.
[[noreturn]] void ZglosBladPliku(OperacjaNaPliku operacja, std::string_view plik, int err);
[[noreturn]] void ZglosBladPliku(OperacjaNaPliku operacja, std::string_view plik, PowodOdmowy powod);

}  // namespace tolvak
