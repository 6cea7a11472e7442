// Message boxes on Qt's thread: the icon, buttons and caption that MessageBoxW's type asks
// for, the button labels in the user's language, and Escape and the close box only where
// Windows allows them (a Cancel button, or a lone OK).
#pragma once

#include <functional>

#include "platform/ui/window.h"

namespace drovan::ui::qt {

class QtBackend;

struct MessageBoxRequest {
    HWND owner = nullptr;
    Text text;
    Text caption;
    UINT type = 0;
    bool chinese = false;  // the user's language is Chinese
};

// Shows the box without waiting (application modal, over its owner's widget) and calls
// `answered` with the IDOK.. code of the button chosen, once.
void ShowMessageBox(QtBackend& backend, const MessageBoxRequest& request, std::function<void(int)> answered);
// Shows the box and waits for it in a nested Qt loop: for a request made on Qt's thread.
int RunMessageBoxNow(QtBackend& backend, const MessageBoxRequest& request);

// The button a box's Escape and close box stand for, or 0 when they do nothing.
int MessageBoxEscapeButton(UINT type);
// A button's label as Windows shows it in the given language.
Text MessageBoxButtonLabel(int id, bool chinese);

}  // namespace drovan::ui::qt
