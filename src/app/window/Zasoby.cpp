#include "app/window/Zasoby.h"

#include <QString>

namespace tolvak::okno::Zasoby {

QIcon Obrazek(const char* nazwa) {
    const QString base = QStringLiteral(":/tolvak/") + QString::fromLatin1(nazwa);
    QIcon icon;
    icon.addFile(base + QStringLiteral(".png"));
    icon.addFile(base + QStringLiteral("@2x.png"));
    return icon;
}

QIcon Ikona() { return Obrazek("tolvak"); }

}  // namespace tolvak::okno::Zasoby
