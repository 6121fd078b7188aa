// What the dialog's window adds to its design (client/dialog_design.h): each control's
// kind, identifier and picture, in tab (creation) order, and the font and sizes that only
// Win32 controls need.
#pragma once

#include <span>

#include "client/form_platform.h"

namespace tallyhorn::client::win {

inline constexpr char kFontFace[] = "MS Sans Serif";
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

// Every control but the form, the three tab stops first (comment box, OK, Cancel).
std::span<const WindowedControl> WindowedControls();

// The row of one control; nullptr for the form.
const WindowedControl* WindowedControlOf(Control control);

}  // namespace tallyhorn::client::win
