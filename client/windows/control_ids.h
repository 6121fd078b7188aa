// The dialog window's class name and control identifiers, shared with the UI test
// driver so that both name the controls alike.
#pragma once

namespace tallyhorn::client::win {

// The dialog's window class: the system's dialog class, which the program's message
// boxes have too. The driver finds the dialog by it, the process id and the comment box,
// which no message box has.
inline constexpr char kDialogClassName[] = "#32770";

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
