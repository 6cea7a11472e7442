// The dialog fonts, set up by the program itself so that every machine lays a dialog out
// alike: the templates' Windows faces mapped to fonts that Debian ships.
#pragma once

#include <QFont>

#include "platform/ui/window.h"

namespace drovan::ui::qt {

// Starts loading the font configuration on a thread of its own; any thread, before the
// QApplication is made. It is the program's own set-up (the font folders, stock rendering,
// generic families led by the mapped faces), or the system's when FONTCONFIG_FILE or
// FONTCONFIG_PATH is set or the mapped faces are not in those folders. Without this call
// Qt loads the system's configuration when it first needs a font.
void StartFontConfigPreload();
// Qt's thread: waits for that load, then loads the font list and the Chinese face.
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
