// drovan: the program on a Linux desktop, on the simulated machine (--machine DIR, else
// $DROVAN_MACHINE, else the default machine).
//
// Without arguments it is the wizard with the Qt dialog backend. Qt's own thread runs the
// widgets; the program itself (AfxWinMain and its dialogs) runs on a thread of its own,
// its GUI thread, so that a worker's message box is shown even while that thread waits.
//
// With arguments the application object reads them as Windows hands a program its command
// line (app/cli). An unattended run needs no display: with /quiet, or where there is none,
// Qt is not started at all (no platform plug-in, no DISPLAY), and the run's messages go to
// the standard streams only.
#include <QApplication>
#include <QMetaObject>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/CommandLine.h"
#include "platform/ui/afx.h"
#include "platform/ui/qt/qt_backend.h"
#include "platform/ui/qt/qt_fonts.h"
#include "platform/ui/text.h"

namespace {

// The machine must be chosen before the program's static objects touch it; glibc hands
// constructors the program's arguments.
__attribute__((constructor(101))) void ChooseMachine(int argc, char** argv, char**) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--machine") == 0) ::setenv("DROVAN_MACHINE", argv[i + 1], 1);
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--machine=", 10) == 0) ::setenv("DROVAN_MACHINE", argv[i] + 10, 1);
    }
}

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // The program's arguments, as one Windows command line (--machine is this home's own).
    CString cmdLine;
    bool bArguments = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--machine") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "drovan: --machine needs a folder\n");
                return 2;
            }
            ++i;
            continue;
        }
        if (std::strncmp(argv[i], "--machine=", 10) == 0) continue;
        if (bArguments) cmdLine += TEXT(' ');
        cmdLine += CCommandLine::Quote(CString(drovan::ui::text::FromUtf8(argv[i])));
        bArguments = true;
    }

    CCommandLine probe;
    bool bWizard = !bArguments || (probe.Parse(cmdLine) && probe.Mode() == CCommandLine::MODE_WIZARD);
    bool bQt = bWizard || (!CCommandLine::AsksQuiet(cmdLine) && HasDisplay());
    int code = 0;
    if (!bQt) {
        code = AfxWinMain(nullptr, nullptr, cmdLine.GetBuffer(), SW_SHOWNORMAL);
    } else {
        drovan::ui::qt::StartFontConfigPreload();
        QApplication app(argc, argv);
        drovan::ui::qt::QtBackend backend;
        drovan::ui::SetBackend(&backend);
        std::thread program([&] {
            code = AfxWinMain(nullptr, nullptr, cmdLine.GetBuffer(), SW_SHOWNORMAL);
            QMetaObject::invokeMethod(&app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        });
        QApplication::exec();
        program.join();
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // Workers may still run, as they may when a Windows process ends: no static
    // destructors race them.
    std::_Exit(code);
}
