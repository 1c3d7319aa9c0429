// Writes the demo's station sounds into a folder: a music-like bed, a spoken-like bulletin (as
// MP3, as a provider delivers it), an ending and two sponsor jingles. With REPEAT the bulletin
// and the bed hold their sound that many times over (hours of sound in seconds).
//
//   tolvak_dzwieki FOLDER [BULLETIN_SECONDS [BED_SECONDS [REPEAT]]]

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "../tests/production/GeneratorDzwiekow.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 5) {
        std::fprintf(stderr, "usage: %s FOLDER [BULLETIN_SECONDS [BED_SECONDS [REPEAT]]]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const double serwis = argc > 2 ? std::atof(argv[2]) : 45.0;
    const double podklad = argc > 3 ? std::atof(argv[3]) : serwis + 20.0;
    const int powtorzenia = argc > 4 ? std::atoi(argv[4]) : 1;
    if (serwis <= 0 || podklad <= 0 || powtorzenia <= 0) {
        std::fprintf(stderr, "%s: lengths and the repeat count must be positive\n", argv[0]);
        return 2;
    }
    namespace d = tolvak::dzwieki;
    try {
        std::filesystem::create_directories(folder);
        d::ZapiszWav((folder / "podklad.wav").string(), d::Podklad(podklad), powtorzenia);
        d::ZapiszMp3((folder / "serwis.mp3").string(), d::Mowa(serwis), 128, powtorzenia);
        d::ZapiszWav((folder / "zakonczenie.wav").string(), d::Zakonczenie(3.0));
        d::ZapiszWav((folder / "sponsor1.wav").string(), d::Dzingiel(2.0, 440.0));
        d::ZapiszWav((folder / "sponsor2.wav").string(), d::Dzingiel(2.5, 587.33));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    for (const char* n : {"podklad.wav", "serwis.mp3", "zakonczenie.wav", "sponsor1.wav", "sponsor2.wav"})
        std::printf("%s\n", (folder / n).string().c_str());
    return 0;
}
