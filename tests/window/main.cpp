// The window tests run on one application object that lives for the whole run.

#include <QApplication>

#include <gtest/gtest.h>
#include "app/window/Tlumaczenia.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Also when the test list is read at build time, where no display is.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tolvak::okno::ZaladujTlumaczenia();
    return RUN_ALL_TESTS();
}
