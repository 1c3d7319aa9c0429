#include "app/LustroLogu.h"

#include <chrono>
#include <cstdio>

#include "app/Log.h"

namespace tolvak {

void LustrujLog(Log& log, std::ostream& wyjscie) {
    auto poprzednia = std::chrono::steady_clock::now();
    log.OnLine = [&wyjscie, poprzednia](std::string_view linia) mutable {
        const auto teraz = std::chrono::steady_clock::now();
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(teraz - poprzednia).count();
        poprzednia = teraz;
        char czas[32];
        std::snprintf(czas, sizeof czas, "[%6lld ms] ", static_cast<long long>(ms));
        wyjscie << czas << linia << '\n';
        wyjscie.flush();
    };
}

}  // namespace tolvak
