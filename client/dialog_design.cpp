// The dialog as designed: the form's and each control's place, size, caption and
// visibility before the activation arranges a mode.
#include "client/dialog_design.h"

#include <iterator>

#include "client/dialog_texts.h"

namespace tallyhorn::client {

namespace {

constexpr ControlDesign kDialog[] = {
    {Control::Form, 322, 142, 369, 219, "Tallyhorn", true},
    {Control::Comments_ComboBox, 88, 132, 236, 21, "", true},
    {Control::OKBtn, 103, 183, 75, 25, "OK", true},
    {Control::CancelBtn, 210, 183, 75, 25, "Cancel", true},
    {Control::Label4, 34, 13, 321, 13, "The document you have printed is now being handled by the printer,", true},
    {Control::Label2, 34, 31, 272, 13, "Please enter a comment for the print job in the field below.", true},
    {Control::DocumentName, 34, 60, 83, 13, "Document Name:", true},
    {Control::Pages, 34, 85, 33, 13, "Pages:", true},
    {Control::PrinterName, 34, 110, 33, 13, "Printer:", true},
    {Control::Label1, 34, 135, 47, 13, "Comment:", true},
    {Control::Label3, 34, 160, 201, 13, texts::kRejectLabel3.data(), true},
    {Control::Reason, 34, 184, 40, 13, "Reason:", true},
    {Control::Stop_Image, 4, 20, 25, 25, "", false},
    {Control::Confirm_Image, 4, 56, 25, 25, "", false},
    {Control::Comment_Image, 4, 91, 25, 25, "", false},
};

constexpr bool EveryControlOnce() {
    constexpr std::size_t kControls = static_cast<std::size_t>(Control::Comment_Image) + 1;
    if (std::size(kDialog) != kControls) {
        return false;
    }
    for (std::size_t control = 0; control < kControls; ++control) {
        int rows = 0;
        for (const ControlDesign& design : kDialog) {
            rows += static_cast<std::size_t>(design.control) == control ? 1 : 0;
        }
        if (rows != 1) {
            return false;
        }
    }
    return true;
}
static_assert(EveryControlOnce(), "every control of the dialog has one design");

}  // namespace

std::span<const ControlDesign> DesignedDialog() { return kDialog; }

const ControlDesign& DesignOf(Control control) {
    for (const ControlDesign& design : kDialog) {
        if (design.control == control) {
            return design;
        }
    }
    return kDialog[0];  // not reached: every control has its row
}

}  // namespace tallyhorn::client
