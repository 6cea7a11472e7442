// The tests run on Qt's offscreen platform: widgets, fonts and pictures as on a desktop,
// with no display needed.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "platform/ui/qt/qt_fonts.h"
#include "tests/qt/qt_test_support.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    // The program's own font set-up, as drovan makes it.
    drovan::ui::qt::StartFontConfigPreload();
    QApplication app(argc, argv);
    drovan::ui::SetBackend(&qttest::Backend());
    int result = RUN_ALL_TESTS();
    std::fflush(stdout);
    // The program's thread may still be in its dialogs: end without static destructors.
    std::_Exit(result);
}
