// What the dialog's window adds to its design: each control's kind, identifier and
// picture, in creation (z and tab) order.
#include "client/windows/dialog_layout.h"

#include "client/windows/res/resource_ids.h"
#include "client/windows/control_ids.h"

namespace tallyhorn::client::win {

namespace {

constexpr WindowedControl kControls[] = {
    {Control::Label1, ControlKind::Label, kIdLabel1, 0},
    {Control::Comments_ComboBox, ControlKind::ComboBox, kIdComments_ComboBox, 0},
    {Control::OKBtn, ControlKind::Button, kIdOKBtn, 0},
    {Control::CancelBtn, ControlKind::Button, kIdCancelBtn, 0},
    {Control::Label4, ControlKind::Label, kIdLabel4, 0},
    {Control::Label2, ControlKind::Label, kIdLabel2, 0},
    {Control::DocumentName, ControlKind::Label, kIdDocumentName, 0},
    {Control::Pages, ControlKind::Label, kIdPages, 0},
    {Control::PrinterName, ControlKind::Label, kIdPrinterName, 0},
    {Control::Label3, ControlKind::Label, kIdLabel3, 0},
    {Control::Reason, ControlKind::Label, kIdReason, 0},
    {Control::Stop_Image, ControlKind::Picture, kIdStop_Image, IDB_STOP_IMAGE},
    {Control::Confirm_Image, ControlKind::Picture, kIdConfirm_Image, IDB_CONFIRM_IMAGE},
    {Control::Comment_Image, ControlKind::Picture, kIdComment_Image, IDB_COMMENT_IMAGE},
};

}  // namespace

std::span<const WindowedControl> WindowedControls() { return kControls; }

const WindowedControl* WindowedControlOf(Control control) {
    for (const WindowedControl& row : kControls) {
        if (row.control == control) return &row;
    }
    return nullptr;
}

}  // namespace tallyhorn::client::win
