#include "app/window/Instancja.h"

#include <QMessageBox>
#include <cstdlib>
#include <string>
#include <system_error>
#include <unistd.h>

namespace tolvak {

namespace fs = std::filesystem;

fs::path FolderUruchomieniowy() {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) return xdg;
    std::error_code ec;
    const fs::path run = fs::path("/run/user") / std::to_string(::getuid());
    if (fs::is_directory(run, ec)) return run;
    const fs::path wlasny = fs::temp_directory_path(ec) / ("tolvak-" + std::to_string(::getuid()));
    fs::create_directories(wlasny, ec);
    fs::permissions(wlasny, fs::perms::owner_all, ec);
    return wlasny;
}

std::optional<Instancja> SprawdzInstancje(const fs::path& folderProgramu, QWidget* rodzic) {
    const auto odmowa = [rodzic](const QString& tekst) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Informacja"), tekst,
                        QMessageBox::Ok, rodzic);
        box.setObjectName(QStringLiteral("MessageBox"));
        box.exec();
        return std::nullopt;
    };
    try {
        auto uzytkownika = FolderLock::tryLock(FolderUruchomieniowy() / NazwaBlokadyUzytkownika);
        if (!uzytkownika) return odmowa(QStringLiteral("Program jest już uruchomiony."));
        auto folderu = FolderLock::tryLock(folderProgramu / NazwaPlikuBlokady);
        if (!folderu) return odmowa(QStringLiteral("Program jest już uruchomiony."));
        return Instancja{std::move(*uzytkownika), std::move(*folderu)};
    } catch (const std::system_error& e) {
        return odmowa(QString::fromUtf8(e.what()));
    }
}

}  // namespace tolvak
