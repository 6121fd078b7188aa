// The dialog's designed state: window size and place, and every control's kind,
// caption, position, size and visibility at 96 DPI, in tab (creation) order.
#pragma once

#include <span>

#include "client/dialog_platform.h"

namespace tallyhorn::client::win {

inline constexpr int kDesignDpi = 96;
inline constexpr int kClientWidth = 369;
inline constexpr int kClientHeight = 219;
inline constexpr int kDesignedLeft = 322;
inline constexpr int kDesignedTop = 142;
inline constexpr char kDesignedCaption[] = "Tallyhorn";
inline constexpr char kFontFace[] = "MS Sans Serif";
inline constexpr int kFontPoints = 8;
inline constexpr int kComboItemHeight = 13;
// Rows of the comment box's drop-down list before it scrolls.
inline constexpr int kComboDropRows = 8;

enum class ControlKind { Label, ComboBox, Button, Picture };

struct ControlDesign {
    Control control;
    ControlKind kind;
    int id;
    int left;
    int top;
    int width;
    int height;
    const char* caption;
    bool visible;
    int bitmap;  // resource number of a picture, 0 otherwise
};

// All controls, the three tab stops first (comment box, OK, Cancel).
std::span<const ControlDesign> DesignedControls();

}  // namespace tallyhorn::client::win
