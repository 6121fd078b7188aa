// The dialog's own fixed texts: captions, box texts, log messages and error texts. The
// designed captions of the controls are in dialog_design.cpp.
#pragma once

#include <string_view>

namespace tallyhorn::client::texts {

// Window captions and label captions of the three modes.
inline constexpr std::string_view kCommentCaption = "Tallyhorn: enter comment";
inline constexpr std::string_view kRejectCaption = "Message from Tallyhorn server";
inline constexpr std::string_view kQuotaCaption = "Tallyhorn: Quota alert";
inline constexpr std::string_view kRejectLabel3 = "The following document will not be printed.";
inline constexpr std::string_view kQuotaLabel3 = "or click Cancel to cancel the print job.";

// Label prefixes for the job file's values.
inline constexpr std::string_view kPrinterPrefix = "Printer: ";
inline constexpr std::string_view kDocumentNamePrefix = "Document Name: ";
inline constexpr std::string_view kPagesPrefix = "Pages: ";
inline constexpr std::string_view kReasonPrefix = "Reason: ";

// Label1 in quota mode, by quota type (the first five characters of a quota action): the
// words before and after the seconds left.
struct CountdownWords {
    std::string_view quotaType;
    std::string_view head;
    std::string_view tail;
};
inline constexpr std::string_view kQuotaWait = "WAIT ";
inline constexpr CountdownWords kCountdownWords[] = {
    {"ADMIN", "Click OK within ", " seconds to allow the user to go on with the Printing,"},
    {"USER ", "Click OK within ", " seconds to go on with the Printing,"},
    {kQuotaWait, "Waiting for the Administrator approval to go on with the Printing (", ")"},
};

// Message boxes: the captions of the three kinds, then their texts.
inline constexpr std::string_view kConfirmCaption = "Confirm";
inline constexpr std::string_view kErrorCaption = "Error";
inline constexpr std::string_view kInformationCaption = "Information";
inline constexpr std::string_view kConfirmPrint = "Print the job in spite of the quota violation ?";
inline constexpr std::string_view kConfirmCancelJob = "The Print job will be canceled, ok to go on ?";
inline constexpr std::string_view kConfirmQuit = "Quit without entering Comment ?";
inline constexpr std::string_view kJobCanceled = "Job has been canceled.";
inline constexpr std::string_view kServerErrorHead = "Error occured while communicating to the Tallyhorn server (";
inline constexpr std::string_view kServerErrorMiddle = "), Comment will not be written to the DB, (error ";
inline constexpr std::string_view kServerErrorTail = ").";
inline constexpr std::string_view kTimeoutHead = "Timeout while communicating to the Tallyhorn server (";
inline constexpr std::string_view kTimeoutTail = "), Comment will not be written to the DB";

// Client log messages.
inline constexpr std::string_view kLogActionType = "ActionType=";
inline constexpr std::string_view kLogJobId = "JobID=";
inline constexpr std::string_view kLogQuotaType = "QuotaType=";
inline constexpr std::string_view kLogOkClick = "OKBtn Click";
inline constexpr std::string_view kLogCancelClick = "CancelBtn Click";
inline constexpr std::string_view kLogSocketError = "ClientSocketError ";

// Why a comment did not reach the server, as its event says.
inline constexpr std::string_view kEventTimeout = "no reply within 10 seconds";
inline constexpr std::string_view kEventSocketError = "socket error ";
inline constexpr std::string_view kEventNoAcknowledgement = "the reply was no acknowledgement";

// Errors that escape a handler into the general error box.
inline constexpr std::string_view kUnableToWrite = "Unable to write to ";
inline constexpr std::string_view kUnableToInsertLine = "Unable to insert a line";
inline constexpr std::string_view kNoAddress = "No address specified";
inline constexpr std::string_view kNoSocket = "Can't create new socket";
inline constexpr std::string_view kOutOfMemory = "Out of memory";
inline constexpr std::string_view kUnexpectedError = "Unexpected error";

// The dialog's own folder in the user's application data folders (the roaming one for
// the history, the local one for the log), and its files. The program folder holds
// earlier versions' shared history under the same name.
inline constexpr std::string_view kUserDataFolder = "Tallyhorn\\";
inline constexpr std::string_view kHistoryFile = "Tallyhorn.Cmt";
inline constexpr std::string_view kLogPrefix = "Tallyhorn_Client_";

}  // namespace tallyhorn::client::texts
