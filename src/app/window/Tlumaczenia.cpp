#include "app/window/Tlumaczenia.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace tolvak::okno {

bool ZaladujTlumaczenia() {
    // Owned by the application, so it lives as long as the texts it translates.
    static const bool zaladowane = [] {
        auto t = std::make_unique<QTranslator>();
        if (!t->load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            return false;
        t->setParent(QCoreApplication::instance());
        return QCoreApplication::installTranslator(t.release());
    }();
    return zaladowane;
}

}  // namespace tolvak::okno
