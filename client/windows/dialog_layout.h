// What the dialog's window adds to its design (client/dialog_design.h): each control's
// kind, identifier and picture, in creation (z and tab) order, and the fonts and sizes
// that only Win32 controls need.
#pragma once

#include <span>

#include "client/window_platform.h"

namespace tallyhorn::client::win {

// The design's face, a bitmap face, used at the design DPI. Above it the first of the
// scalable faces of the same metrics that the system has.
inline constexpr char kFontFace[] = "MS Sans Serif";
inline constexpr const char* kScalableFontFaces[] = {"Microsoft Sans Serif", "Tahoma"};
inline constexpr int kFontPoints = 8;
inline constexpr int kComboItemHeight = 13;
// Rows of the comment box's drop-down list before it scrolls.
inline constexpr int kComboDropRows = 8;

enum class ControlKind { Label, ComboBox, Button, Picture };

struct WindowedControl {
    Control control;
    ControlKind kind;
    int id;
    int picture;  // resource number of a bitmap, 0 otherwise
};

// Every control but the form, in creation order: "Comment:" just before the comment box,
// which screen readers name after the label before it, then the three tab stops
// (comment box, OK, Cancel).
std::span<const WindowedControl> WindowedControls();

// The row of one control; nullptr for the form.
const WindowedControl* WindowedControlOf(Control control);

}  // namespace tallyhorn::client::win
