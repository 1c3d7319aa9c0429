#pragma once
// The window mode's entry, exported by the window library (libtolvak_window.so) under C
// linkage so that the program can load it with dlopen only when the window is wanted.

extern "C" {
/// Name of the entry as dlsym finds it.
#define TOLVAK_OKNO_WEJSCIE "tolvak_okno_main"
/// Runs the window mode with the program's command line; returns the exit status.
__attribute__((visibility("default"))) int tolvak_okno_main(int argc, char** argv);
using TolvakOknoMain = int (*)(int, char**);
}
