// The dialog as designed: the form's and each control's place, size, caption and
// visibility before the activation arranges a mode.
#include "client/dialog_design.h"

#include <cstddef>

#include "client/dialog_texts.h"

namespace tallyhorn::client {

namespace {

// In the order of Control, so that a control's number finds its row.
constexpr ControlDesign kDialog[] = {
    {Control::Form, 322, 142, 369, 219, "Tallyhorn", true},
    {Control::Label1, 34, 135, 47, 13, "Comment:", true},
    {Control::Label2, 34, 31, 272, 13, "Please enter a comment for the print job in the field below.", true},
    {Control::Label3, 34, 160, 201, 13, texts::kRejectLabel3.data(), true},
    {Control::Label4, 34, 13, 321, 13, "The document you have printed is now being handled by the printer,", true},
    {Control::DocumentName, 34, 60, 83, 13, "Document Name:", true},
    {Control::Pages, 34, 85, 33, 13, "Pages:", true},
    {Control::PrinterName, 34, 110, 33, 13, "Printer:", true},
    {Control::Reason, 34, 184, 40, 13, "Reason:", true},
    {Control::Comments_ComboBox, 88, 132, 236, 21, "", true},
    {Control::OKBtn, 103, 183, 75, 25, "OK", true},
    {Control::CancelBtn, 210, 183, 75, 25, "Cancel", true},
    // The pictures' captions are not shown: they are their names for screen readers.
    {Control::Stop_Image, 4, 20, 25, 25, "Rejected", false},
    {Control::Confirm_Image, 4, 56, 25, 25, "Question", false},
    {Control::Comment_Image, 4, 91, 25, 25, "Comment", false},
};

constexpr bool OneRowPerControlInItsOrder() {
    std::size_t row = 0;
    for (const ControlDesign& design : kDialog) {
        if (static_cast<std::size_t>(design.control) != row++) {
            return false;
        }
    }
    return row == static_cast<std::size_t>(Control::Comment_Image) + 1;
}
static_assert(OneRowPerControlInItsOrder(), "every control of the dialog has one row, in the order of Control");

}  // namespace

std::span<const ControlDesign> DesignedDialog() { return kDialog; }

const ControlDesign& DesignOf(Control control) { return kDialog[static_cast<std::size_t>(control)]; }

}  // namespace tallyhorn::client
