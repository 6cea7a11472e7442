// The dialog fonts, set up by the program itself so that every machine lays a dialog out
// alike: the templates' Windows faces mapped to fonts that Debian ships.
#pragma once

#include <QFont>

#include "platform/ui/window.h"

namespace drovan::ui::qt {

// Starts loading fontconfig's configuration on a thread of its own; any thread, before the
// QApplication is made. Without it the load happens when Qt first needs a font.
void StartFontConfigPreload();
// Qt's thread: waits for that load, then loads the font list and the mapped faces.
void WarmUpFonts();
// Maps "宋体"/"SimSun" to WenQuanYi Micro Hei and "MS Shell Dlg" to a sans font (with
// WenQuanYi Micro Hei behind it for Chinese text). Qt's thread, once.
void InstallFontSubstitutes();
// A template's font: its face at its point size on a 96-dpi screen, as Windows sizes it.
QFont DialogFont(const Text& face, int points);
// Dialog base units of a font by Windows' rules: the average width of the 52 Latin
// letters, rounded, and the font's height.
POINT BaseUnitsOf(const QFont& font);

}  // namespace drovan::ui::qt
