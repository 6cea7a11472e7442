// drovan: the wizard on a Linux desktop, on the simulated machine ($DROVAN_MACHINE, else
// the default machine), with the Qt dialog backend. Qt's own thread runs the widgets;
// the program itself (AfxWinMain and its dialogs) runs on a thread of its own, its GUI
// thread, so that a worker's message box is shown even while that thread waits.
#include <QApplication>
#include <QMetaObject>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/ui/afx.h"
#include "platform/ui/qt/qt_backend.h"
#include "platform/ui/qt/qt_fonts.h"

int main(int argc, char** argv) {
    drovan::ui::qt::StartFontConfigPreload();
    QApplication app(argc, argv);
    drovan::ui::qt::QtBackend backend;
    drovan::ui::SetBackend(&backend);

    int code = 0;
    std::thread program([&] {
        code = AfxWinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
        QMetaObject::invokeMethod(&app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    QApplication::exec();
    program.join();
    std::fflush(stdout);
    std::fflush(stderr);
    // Workers may still run, as they may when a Windows process ends: no static
    // destructors race them.
    std::_Exit(code);
}
