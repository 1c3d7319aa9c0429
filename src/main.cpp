#include <cstdio>
#include <iostream>

#include "app/CommandLine.h"
#include "app/qt/Headless.h"
#include "platform/Regional.h"
#include "production/Sprawdzenie.h"
#include "production/Uruchomienie.h"

int main(int argc, char** argv) {
    // The log's and the status texts' date and time follow the environment's LC_TIME.
    tolvak::SetRegionalFormats(tolvak::RegionalneFormatyZSrodowiska());
    const tolvak::CommandLine cl = tolvak::ParseCommandLine(argc, argv);
    if (!cl.error.empty()) {
        std::fputs(cl.error.c_str(), stderr);
        if (cl.error.back() != '\n') std::fputc('\n', stderr);
        return 2;
    }
    if (cl.help) {
        std::fputs(tolvak::UsageText().c_str(), stdout);
        return 0;
    }
    if (cl.version) {
        std::fputs(tolvak::VersionText().c_str(), stdout);
        return 0;
    }
    if (cl.produce) return tolvak::UruchomProdukcje(cl, std::cerr);
    if (cl.check) return tolvak::UruchomSprawdzenie(cl, std::cout, std::cerr);
    if (cl.headless) return tolvak::UruchomBezOkna(cl, std::cerr);
    std::puts("tolvak: okno programu i praca według harmonogramu nie są jeszcze dostępne; "
              "użyj --produce RODZAJ (zobacz --help).");
    return 0;
}
