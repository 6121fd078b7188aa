// The dialog's designed state, as the table of controls gives it.
#include "dialog_layout.h"

#include "client/dialog_texts.h"
#include "client/res/resource_ids.h"
#include "control_ids.h"

namespace tallyhorn::client::win {

namespace {

constexpr ControlDesign kControls[] = {
    {Control::Comments_ComboBox, ControlKind::ComboBox, kIdComments_ComboBox, 88, 132, 236, 21, "", true, 0},
    {Control::OKBtn, ControlKind::Button, kIdOKBtn, 103, 183, 75, 25, "OK", true, 0},
    {Control::CancelBtn, ControlKind::Button, kIdCancelBtn, 210, 183, 75, 25, "Cancel", true, 0},
    {Control::Label4, ControlKind::Label, kIdLabel4, 34, 13, 321, 13,
     "The document you have printed is now being handled by the printer,", true, 0},
    {Control::Label2, ControlKind::Label, kIdLabel2, 34, 31, 272, 13,
     "Please enter a comment for the print job in the field below.", true, 0},
    {Control::DocumentName, ControlKind::Label, kIdDocumentName, 34, 60, 83, 13, "Document Name:", true, 0},
    {Control::Pages, ControlKind::Label, kIdPages, 34, 85, 33, 13, "Pages:", true, 0},
    {Control::PrinterName, ControlKind::Label, kIdPrinterName, 34, 110, 33, 13, "Printer:", true, 0},
    {Control::Label1, ControlKind::Label, kIdLabel1, 34, 135, 47, 13, "Comment:", true, 0},
    {Control::Label3, ControlKind::Label, kIdLabel3, 34, 160, 201, 13, texts::kRejectLabel3.data(), true, 0},
    {Control::Reason, ControlKind::Label, kIdReason, 34, 184, 40, 13, "Reason:", true, 0},
    {Control::Stop_Image, ControlKind::Picture, kIdStop_Image, 4, 20, 25, 25, "", false, IDB_STOP_IMAGE},
    {Control::Confirm_Image, ControlKind::Picture, kIdConfirm_Image, 4, 56, 25, 25, "", false, IDB_CONFIRM_IMAGE},
    {Control::Comment_Image, ControlKind::Picture, kIdComment_Image, 4, 91, 25, 25, "", false, IDB_COMMENT_IMAGE},
};

}  // namespace

std::span<const ControlDesign> DesignedControls() { return kControls; }

}  // namespace tallyhorn::client::win
