// The window mode: single instance, the application, the main window and its event loop.

#include "app/window/Start.h"

#include <QApplication>
#include <QMessageBox>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/CommandLine.h"
#include "app/qt/QtEventPump.h"
#include "app/qt/SygnalyZakonczenia.h"
#include "app/window/Form1.h"
#include "app/window/Instancja.h"
#include "app/window/Tlumaczenia.h"
#include "app/window/Zasoby.h"
#include "dialogs/FIarUrlPick.h"
#include "platform/Paths.h"

namespace tolvak {
namespace {

int UruchomOkno(int argc, char** argv) {
    const CommandLine cl = ParseCommandLine(argc, argv);
    QApplication app(argc, argv);
    // Qt takes the whole locale from the environment; numbers keep the C rules.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("tolvak"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tolvak"));
    QApplication::setWindowIcon(okno::Zasoby::Ikona());
    // Before the first dialog: Qt's own buttons and file dialogs speak Polish.
    okno::ZaladujTlumaczenia();

    const std::filesystem::path folder = ProgramFolder(cl.dir);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        std::fprintf(stderr, "tolvak: folder programu %s nie istnieje\n", folder.c_str());
        return 2;
    }
    // A second instance ends here, before it touches the log, the settings or the device.
    const std::optional<Instancja> instancja = SprawdzInstancje(folder);
    if (!instancja) return 1;
    const std::filesystem::path roboczy = std::filesystem::current_path(ec);

    QtEventPump pompa;
    TForm1 form(ParametryOkna{folder, roboczy, nullptr, cl.noAudio});
    if (cl.verbose) {
        form.log().OnLine = [](std::string_view linia) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(linia.size()), linia.data());
            std::fflush(stderr);
        };
    }
    // The end of the session (SIGTERM) or Ctrl+C closes the window as its close button does,
    // letting a production under way finish; a second signal ends the process at once.
    SygnalyZakonczenia sygnaly([&form](int) { form.close(); });
    if (!form.FormCreate()) return 1;
    form.SetUkrytyFIarUrlPick(
        std::make_unique<TFIarUrlPick>(&form, form.ustawienia(), form.PlikKonfiguracji()));
    form.show();
    return QApplication::exec();
}

}  // namespace
}  // namespace tolvak

int tolvak_okno_main(int argc, char** argv) { return tolvak::UruchomOkno(argc, argv); }
