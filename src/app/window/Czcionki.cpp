#include "app/window/Czcionki.h"

#include <QFontDatabase>
#include <QStringList>

namespace tolvak::okno {

namespace {

// Wine's Tahoma as fonts-wine installs it; fontconfig does not look in this folder by itself.
constexpr const char* kPlikiTahomy[] = {"/usr/share/wine/fonts/tahoma.ttf",
                                        "/usr/share/wine/fonts/tahomabd.ttf"};

QString Zarejestruj() {
    const QString tahoma = QStringLiteral("Tahoma");
    if (QFontDatabase::hasFamily(tahoma)) return tahoma;
    bool jest = false;
    for (const char* plik : kPlikiTahomy) {
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(plik));
        jest = jest || (id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(tahoma));
    }
    return jest ? tahoma : QStringLiteral("DejaVu Sans");
}

}  // namespace

QString RodzinaCzcionki() {
    static const QString rodzina = Zarejestruj();
    return rodzina;
}

QFont Czcionka(int pikseli, bool pogrubiona) {
    QFont f(RodzinaCzcionki());
    // A letter the family lacks still comes from DejaVu Sans, not from whatever Qt picks.
    f.setFamilies({RodzinaCzcionki(), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(pikseli);
    f.setBold(pogrubiona);
    return f;
}

}  // namespace tolvak::okno
