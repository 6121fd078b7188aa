// The dialog window's class name and control identifiers, shared with the UI test
// driver so that both name the controls alike.
#pragma once

namespace tallyhorn::client::win {

// The dialog's window class; the driver finds the dialog by it and the process id.
inline constexpr char kDialogClassName[] = "TForm1";

// Control identifiers (GetDlgItem). OKBtn and CancelBtn stay clear of IDOK and IDCANCEL
// so that no dialog-manager command is taken for a click.
enum ControlId : int {
    kIdLabel1 = 1001,
    kIdLabel2,
    kIdLabel3,
    kIdLabel4,
    kIdDocumentName,
    kIdPages,
    kIdPrinterName,
    kIdReason,
    kIdComments_ComboBox,
    kIdOKBtn,
    kIdCancelBtn,
    kIdStop_Image,
    kIdConfirm_Image,
    kIdComment_Image,
};

}  // namespace tallyhorn::client::win
