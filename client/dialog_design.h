// The dialog as designed: the form's and each control's place, size, caption and
// visibility before the activation arranges a mode. The window layer builds its window
// from it, the core starts from it, and the tests' fake platform shows it.
#pragma once

#include <span>

#include "client/window_platform.h"

namespace tallyhorn::client {

// In designed pixels at kDesignDpi. For the form: its place on the screen, the size of its
// client area, and its caption.
struct ControlDesign {
    Control control;
    int left;
    int top;
    int width;
    int height;
    const char* caption;
    bool visible;
};

// Every control once, in the order of Control (the form first).
std::span<const ControlDesign> DesignedDialog();

const ControlDesign& DesignOf(Control control);

}  // namespace tallyhorn::client
