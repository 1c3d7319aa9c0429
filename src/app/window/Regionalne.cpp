#include "app/window/Regionalne.h"

#include <QRegularExpression>

namespace tolvak::okno {

RegionalFormats RegionalneZLocale(const QLocale& locale) {
    RegionalFormats f;
    if (locale.language() == QLocale::C) return f;
    QString data = locale.dateFormat(QLocale::ShortFormat);
    QString czas = locale.timeFormat(QLocale::LongFormat);
    // The time zone is no part of the workstation's time texts.
    czas.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*$")));
    czas = czas.trimmed();
    if (data.isEmpty() || czas.isEmpty()) return f;
    for (const QChar c : data) {
        if (!c.isLetter()) {
            if (c.unicode() < 0x80) f.dateSeparator = static_cast<char>(c.unicode());
            break;
        }
    }
    f.shortDate = data.toStdString();
    f.longTime = czas.toStdString();
    return f;
}

}  // namespace tolvak::okno
