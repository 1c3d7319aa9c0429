#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/CommandLine.h"
#include "app/qt/Headless.h"
#include "platform/Paths.h"
#include "platform/Regional.h"
#include "production/Sprawdzenie.h"
#include "production/Uruchomienie.h"
#include "schedule/KontrolaUstawien.h"
#include "schedule/RaportStanu.h"

namespace {

/// The window mode lives in its own library, loaded only here, so the other modes never load
/// a GUI library. It is looked for beside the program (the build folder), then in the installed
/// layout's private library folder (../lib/tolvak from /usr/bin), then on the loader's path.
int UruchomOkno(int argc, char** argv) {
    constexpr const char* kBiblioteka = "libtolvak_window.so";
    const std::filesystem::path folder = tolvak::ExecutableFolder();
    void* biblioteka = nullptr;
    std::string blad;
    for (const auto& miejsce : {folder / kBiblioteka, folder.parent_path() / "lib" / "tolvak" / kBiblioteka}) {
        std::error_code ec;
        if (!std::filesystem::exists(miejsce, ec)) continue;
        biblioteka = dlopen(miejsce.c_str(), RTLD_NOW | RTLD_LOCAL);
        // The first library that exists but does not load tells why (a missing Qt library).
        if (!biblioteka) blad = dlerror();
        break;
    }
    if (!biblioteka && blad.empty()) {
        biblioteka = dlopen(kBiblioteka, RTLD_NOW | RTLD_LOCAL);
        if (!biblioteka) blad = dlerror();
    }
    if (!biblioteka) {
        std::fprintf(stderr, "tolvak: nie można załadować okna programu (%s): %s\n", kBiblioteka,
                     blad.c_str());
        return 3;
    }
    using Wejscie = int (*)(int, char**);
    auto wejscie = reinterpret_cast<Wejscie>(dlsym(biblioteka, "tolvak_okno_main"));
    if (!wejscie) {
        std::fprintf(stderr, "tolvak: biblioteka %s nie ma wejścia okna: %s\n", kBiblioteka,
                     dlerror());
        return 3;
    }
    // The library stays loaded until the process ends: Qt's exit handlers live in it.
    return wejscie(argc, argv);
}

}  // namespace

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
    if (cl.checkConfig) return tolvak::UruchomKontroleUstawien(cl, std::cout, std::cerr);
    if (cl.status) return tolvak::UruchomRaportStanu(cl, std::cout, std::cerr);
    if (cl.headless) return tolvak::UruchomBezOkna(cl, std::cerr);
    return UruchomOkno(argc, argv);
}
