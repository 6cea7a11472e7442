// The Qt backend's tests: Qt's offscreen platform (never a display), one QApplication and
// one backend per test process, the program's dialogs run on a GUI thread of their own.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <QWidget>

#include <filesystem>
#include <string>

#include "platform/ui/qt/qt_backend.h"
#include "platform/ui/qt/qt_dialog.h"

namespace qttest {

drovan::ui::qt::QtBackend& Backend();
// Writes the widget's picture to the build's screenshot folder; returns the path.
std::filesystem::path SavePng(QWidget* widget, const std::string& name);
// Every control of the dialog at its template rectangle in the dialog's base units (a
// combo box: its closed box at the rectangle's top, no taller than the rectangle).
void ExpectTemplateGeometry(drovan::ui::qt::QtDialog* dialog);
// Every control's widget made, in whatever order that happens, still stacks and tabs in
// the template's order: each one under and before the ones that follow it.
void ExpectTemplateOrder(drovan::ui::qt::QtDialog* dialog);
// The visible message box, if any.
class QMessageBoxFinder;
QWidget* VisibleMessageBox();
// Processes events (with the machine clock driven, moving it by stepMs between rounds)
// until `done` holds or the bound passes.
bool WaitFor(const std::function<bool()>& done, int boundMs = 10000, int stepMs = 0);

}  // namespace qttest
