#pragma once
// Text helpers of the sources. Texts are UTF-8; where the providers' pages and headers are cut
// "by characters", a character is one code point (a byte that is not valid UTF-8 counts as one).

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvak {

/// Without surrounding blanks (space, tab, CR, LF, VT, FF).
std::string Przytnij(std::string_view s);

/// The last `n` characters of `s`, all of it when it is shorter.
std::string OstatnieZnaki(std::string_view s, std::size_t n);

/// Up to `n` characters of `s` from byte position `od`.
std::string ZnakiOd(std::string_view s, std::size_t od, std::size_t n);

/// ASCII letters in lower case, other bytes unchanged.
std::string MaleLitery(std::string_view s);

/// True when `a` and `b` are equal without regard to ASCII case.
bool RowneBezWielkosci(std::string_view a, std::string_view b);

}  // namespace tolvak
