// An in-memory extended dialog template (DLGTEMPLATEEX) built from the framework's model of
// a dialog, for CreateDialogIndirectParamW. The model, not the template, decides behaviour:
// check boxes and radio buttons lose their automatic styles and combo boxes their sorting,
// so that the native controls only show what the framework's shared behaviour decided.
#pragma once

#include <vector>

#include "platform/ui/window.h"

namespace drovan::ui::win32 {

// The template's bytes, DWORD-aligned as the dialog manager requires.
std::vector<DWORD> BuildDialogTemplateEx(const Window& dialog);

// The native class and style of a model control.
LPCWSTR NativeClassOf(WindowKind kind);
DWORD NativeStyleOf(const Window& control);

}  // namespace drovan::ui::win32
