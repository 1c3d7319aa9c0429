#pragma once
// The check that a sound the operator has just chosen (a bed, an ending, the local bulletin
// file) holds sound the program's decoder reads. The choice is kept all the same; the check
// only says at once what the production would fail on an hour later.

#include <optional>
#include <string>

namespace tolvak::dialogi {

/// The reason `plik` will fail as a sound ("Plik … nie zawiera dźwięku", or why it cannot be
/// read); std::nullopt when the decoder reads sound from it.
std::optional<std::string> PowodBrakuDzwieku(const std::string& plik);

}  // namespace tolvak::dialogi
