// Renders the main window (also after a failed run, and its tray menu) and each dialog into PNG
// files: tolvak_zrzuty PROGRAM_FOLDER OUT_FOLDER.
// Run under a real X server (scripts/screenshots.sh uses xvfb-run); the window is shown on
// the settings of PROGRAM_FOLDER, with the sound device check skipped.

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <functional>

#include "app/window/Form1.h"
#include "app/window/Tlumaczenia.h"
#include "dialogs/FFolder.h"
#include "dialogs/FIarUrlPick.h"
#include "dialogs/FStartSerwis.h"
#include "dialogs/FZPlikuSciezka.h"
#include "app/qt/QtEventPump.h"
#include "production/Produkcja.h"
#include "schedule/Harmonogram.h"

namespace {

/// Shows the widget, lets it paint, and saves what the screen shows of it (the frame too, when
/// the window manager draws one).
bool Zapisz(QWidget& w, const QString& plik) {
    w.show();
    w.raise();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    QPixmap obraz = w.grab();
    const bool ok = obraz.save(plik, "PNG");
    std::printf("%s %s (%dx%d)\n", ok ? "zapisano" : "NIE ZAPISANO", qPrintable(plik),
                obraz.width(), obraz.height());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tolvak_zrzuty PROGRAM_FOLDER OUT_FOLDER\n");
        return 2;
    }
    qputenv("TOLVAK_ONLINE", "1");
    QApplication app(argc, argv);
    tolvak::QtEventPump pompa;
    tolvak::okno::ZaladujTlumaczenia();
    const QString wyjscie = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(wyjscie);
    bool ok = true;

    tolvak::TForm1 form(tolvak::ParametryOkna{argv[1], argv[1], nullptr, true});
    if (!form.FormCreate()) return 1;
    ok &= Zapisz(form, wyjscie + "/okno.png");

    // After a manual fetch that failed on a bed holding no sound, beside a missed hour; the
    // settings file is not touched.
    const std::string stacja = argv[1];
    std::ofstream(stacja + "/strona.mp3") << "<html><body>404 Not Found</body></html>\n";
    const std::string podklad = form.ustawienia().SerwisPodklad;
    form.ustawienia().SerwisPodklad = stacja + "/strona.mp3";
    form.produkcja().SetPlikWejsciowy(stacja + "/serwis.mp3");
    form.setMissedHour("Brak serwisu na godzinę 14.");
    form.harmonogram().BitBtn1Click();
    ok &= Zapisz(form, wyjscie + "/okno-nieudane.png");
    form.ustawienia().SerwisPodklad = podklad;
    form.produkcja().SetPlikWejsciowy(std::nullopt);
    // The tray's menu, opened beside the window.
    form.TrayMenu()->popup(form.mapToGlobal(QPoint(40, 40)));
    ok &= Zapisz(*form.TrayMenu(), wyjscie + "/menu-zasobnika.png");
    form.TrayMenu()->hide();

    tolvak::TFZPlikuSciezka plik(&form, form.ustawienia(), form.PlikKonfiguracji());
    ok &= Zapisz(plik, wyjscie + "/lokalny-plik.png");
    plik.hide();
    tolvak::TFIarUrlPick iar(&form, form.ustawienia(), form.PlikKonfiguracji());
    ok &= Zapisz(iar, wyjscie + "/adres-iar.png");
    iar.hide();
    tolvak::TFFolder folder(&form);
    folder.FolderZapisu = QString::fromStdString(form.ustawienia().FolderZapisu);
    ok &= Zapisz(folder, wyjscie + "/folder-zapisu.png");
    folder.FolderZapisu = QStringLiteral("/");  // lets it close
    folder.hide();
    // The mix point editor on the news bed, its thumb at the configured mix point.
    tolvak::TFStartSerwis edytor(&form, form, form.ustawienia().SerwisPodklad, argv[1],
                                 form.ustawienia().StartSerwisu);
    ok = ok && edytor.FormShow() && Zapisz(edytor, wyjscie + "/punkt-mixu.png");
    edytor.hide();
    return ok ? 0 : 1;
}
