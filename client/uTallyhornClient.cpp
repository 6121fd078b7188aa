// The job dialog TForm1: its job values, its handlers and the rules between them. It
// works only through its platform roles, so the same code runs on Win32 and against fakes.
#include "client/uTallyhornClient.h"

#include <array>
#include <exception>
#include <new>

#include "client/client_log.h"
#include "client/client_socket.h"
#include "client/comment_exchange.h"
#include "client/comment_history.h"
#include "client/dialog_design.h"
#include "client/dialog_error.h"
#include "client/dialog_texts.h"
#include "contract/contract.h"

namespace tallyhorn::client {

namespace {

constexpr unsigned kQuotaIntervalMs = 1000;
constexpr unsigned kWatchDogIntervalMs = 10000;
// The history's steps follow each other as fast as the window lets them: its timer is a
// low-priority message, so keystrokes, clicks and painting come first.
constexpr unsigned kHistoryIntervalMs = 1;
constexpr int kCountdownSeconds = 30;

std::string Str(std::string_view text) { return std::string(text); }

bool IsButtonKey(int key) { return key == kKeyEnter || key == kKeyEscape; }

}  // namespace

struct TForm1::Impl final : ClientSocketEvents {
    Impl(ProgramStart start, const FormParts& parts)
        : start(std::move(start)),
          window(parts.window),
          jobFiles(parts.jobFiles),
          history(parts.history),
          log(parts.log),
          socket(parts.sockets, *this),
          eventLog(parts.eventLog) {
        job.programFolder = this->start.folder;
        log.ReadTimeSeparator();
        for (const ControlDesign& design : DesignedDialog()) {
            StateOf(design.control) = {design.visible, true};
        }
    }

    // ---- what the core knows of the window ----
    struct ControlState {
        bool visible = true;
        bool enabled = true;
    };

    ControlState& StateOf(Control control) { return controls[static_cast<std::size_t>(control)]; }
    bool Usable(Control control) { return StateOf(control).visible && StateOf(control).enabled; }

    void Show(Control control, bool visible) {
        StateOf(control).visible = visible;
        window.SetVisible(control, visible);
    }
    void Enable(Control control, bool enabled) {
        StateOf(control).enabled = enabled;
        window.SetEnabled(control, enabled);
    }
    void SetOkIsDefault(bool isDefault) {
        okIsDefault = isDefault;
        window.SetOkIsDefault(isDefault);
    }
    // The focus starts on the first control in tab order that can take it, else on the
    // dialog itself: a hidden or disabled control never holds it, so that no keystroke
    // goes where the user cannot see it and a screen reader names what is there.
    void FocusFirstUsable() {
        for (const Control control : {Control::Comments_ComboBox, Control::OKBtn, Control::CancelBtn}) {
            if (Usable(control)) {
                window.GiveFocus(control);
                return;
            }
        }
        window.GiveFocus(Control::Form);
    }
    // A click on a button that can be clicked: a hidden or disabled one cannot, and a late
    // click must not slip through.
    void Click(Control button) {
        if (!Usable(button)) {
            return;
        }
        if (button == Control::OKBtn) {
            Guarded([this] { OKBtnClick(); });
        } else if (button == Control::CancelBtn) {
            Guarded([this] { CancelBtnClick(); });
        }
    }
    // Escape presses the cancel button where it can be pressed. A rejection notice has
    // only OK, which Escape presses as in a message box with one button. While both
    // buttons wait for the administrator, Escape still asks the cancel question.
    bool PressEscape() {
        if (Usable(Control::CancelBtn)) {
            Click(Control::CancelBtn);
        } else if (job.action == contract::kRejectAction && Usable(Control::OKBtn)) {
            Click(Control::OKBtn);
        } else if (IsQuota()) {
            Guarded([this] { CancelBtnClick(); });
        } else {
            return false;
        }
        return true;
    }

    bool& Running(Timer timer) { return timers[static_cast<std::size_t>(timer)]; }
    // Enabling a running timer changes nothing, so its next tick stays where it was.
    void EnableTimer(Timer timer) {
        if (!Running(timer)) {
            Running(timer) = true;
            window.StartTimer(timer, timer == Timer::Quota_Timer      ? kQuotaIntervalMs
                                     : timer == Timer::WatchDog_Timer ? kWatchDogIntervalMs
                                                                      : kHistoryIntervalMs);
        }
    }
    // A large history reaches the drop-down step by step after the dialog shows.
    void KeepLoadingHistory() {
        if (history.Busy()) {
            EnableTimer(Timer::History_Timer);
        }
    }
    void DisableTimer(Timer timer) {
        if (Running(timer)) {
            Running(timer) = false;
            window.StopTimer(timer);
        }
    }

    // ---- the event entries' guard: nothing escapes, errors go to the general box ----
    template <typename Handler>
    void Guarded(const Handler& handler) {
        try {
            handler();
        } catch (const std::bad_alloc&) {
            ShowGeneralError(Str(texts::kOutOfMemory));
        } catch (const std::exception& error) {
            ShowGeneralError(error.what());
        } catch (...) {  // event entry: nothing escapes it
            ShowGeneralError(Str(texts::kUnexpectedError));
        }
    }
    void ShowGeneralError(const std::string& text) noexcept {
        ForgetKeyPresses();
        try {
            Report(events::kDialogErrorShown, GeneralErrorText(text));
            window.ShowGeneralError(ProgramTitle(start.fileName), GeneralErrorText(text));
        } catch (...) {  // last resort: nothing more can be shown, and the dialog goes on
        }
    }

    void WriteToLog(const std::string& message) { log.Write(job.programFolder, message); }

    // An event for the administrators: the job, the server and what failed, never the
    // comment. Written before the user sees the box, which may stay open for long.
    void Report(std::uint32_t id, std::string_view detail) {
        eventLog.RecordEvent({id, {events::InsertString(job.jobId), events::InsertString(job.serverIp),
                                   events::InsertString(Str(detail))}});
    }

    // ---- message boxes. A box takes the keyboard, so the key press that answers it is
    // not the dialog's. Its release reaches the comment box once the box has closed and
    // must not run OK or Cancel again: an error box answered with Enter would retry at
    // once, and a question answered with Escape would be asked again and again. ----
    bool Confirm(std::string_view text) {
        ForgetKeyPresses();
        return window.Confirm(Str(text));
    }
    void ShowError(const std::string& text) {
        ForgetKeyPresses();
        window.ShowError(text);
    }
    void ShowInformation(std::string_view text) {
        ForgetKeyPresses();
        window.ShowInformation(Str(text));
    }
    void ForgetKeyPresses() noexcept { pressed = {}; }
    bool& Pressed(int key) { return pressed[key == kKeyEnter ? 0 : 1]; }

    // ---- activation ----
    void FormActivate();
    void ArrangeCommentMode();
    void ArrangeRejectMode();
    void ArrangeQuotaMode();
    std::string ReadJobValue(std::string_view key) {
        return jobFiles.ReadProfileValue(job.jobFilePath, Str(contract::kJobSection), Str(key));
    }

    // ---- decisions ----
    void OKBtnClick();
    void CancelBtnClick();
    void Comments_ComboBoxKeyUp(int key);
    void FormCloseQuery(bool& canClose);
    void Quota_TimerTimer();
    void Response_to_the_Processor_Is(const std::string& text);
    void Close();
    bool IsQuota() const { return job.action == contract::kQuotaAction; }
    std::string CountdownCaption(int seconds) const;

    // ---- comment submission ----
    void ClientSocketConnect(ClientSocket& socket) override;
    void ClientSocketRead(ClientSocket& socket) override;
    void ClientSocketError(ClientSocket& socket, int& errorCode) override;
    void WatchDog_TimerTimer();
    // One step of the history's work left; the timer stops once nothing is left.
    void History_TimerTimer() {
        if (!history.Continue()) {
            DisableTimer(Timer::History_Timer);
        }
    }

    const ProgramStart start;
    WindowPlatform& window;
    JobFilePlatform& jobFiles;
    JobValues job;
    CommentHistory& history;
    ClientLog& log;
    ClientSocket socket;
    EventPlatform& eventLog;
    ReplyGatherer reply;
    std::array<ControlState, kControlCount> controls{};
    std::array<bool, 3> timers{};
    // Enter and Escape pressed while the dialog had the keyboard, not yet released.
    std::array<bool, 2> pressed{};
    bool okIsDefault = true;
    bool activated = false;
    // Set once a close has been allowed: the program is ending.
    bool quitRequested = false;
};

// ---------------------------------------------------------------- activation

void TForm1::Impl::FormActivate() {
    DisableTimer(Timer::Quota_Timer);
    job.countdown = kCountdownSeconds;
    history.Load(job.programFolder);
    KeepLoadingHistory();

    job.jobFilePath = start.firstArgument;
    if (job.jobFilePath.empty() || !jobFiles.FileExists(job.jobFilePath)) {
        Close();
        return;
    }
    job.quotaType.clear();
    window.SetCaption(Control::PrinterName, Str(texts::kPrinterPrefix) + ReadJobValue(contract::kPrinterKey));
    window.SetCaption(Control::DocumentName,
                        Str(texts::kDocumentNamePrefix) + ReadJobValue(contract::kDocumentNameKey));
    window.SetCaption(Control::Pages, Str(texts::kPagesPrefix) + ReadJobValue(contract::kPagesKey));
    job.action = ReadJobValue(contract::kActionKey);
    const std::string errorMsg = ReadJobValue(contract::kErrorMsgKey);
    if (job.action.find(contract::kQuotaAction) != std::string::npos) {
        job.quotaType = job.action.substr(0, 5);
        job.action = Str(contract::kQuotaAction);
        window.SetCaption(Control::Reason, errorMsg);
    } else {
        window.SetCaption(Control::Reason, Str(texts::kReasonPrefix) + errorMsg);
    }
    job.serverIp = ReadJobValue(contract::kServerIpKey);
    job.jobId = ReadJobValue(contract::kJobIdKey);
    job.userIp = ReadJobValue(contract::kUserIpKey);
    // A job file that cannot be deleted stays behind; the step goes on.
    jobFiles.RemoveFile(job.jobFilePath);

    WriteToLog(Str(texts::kLogActionType) + job.action);
    WriteToLog(Str(texts::kLogJobId) + job.jobId);
    if (!job.quotaType.empty()) {
        WriteToLog(Str(texts::kLogQuotaType) + job.quotaType);
    }

    if (job.action == contract::kCommentAction) {
        ArrangeCommentMode();
    } else if (job.action == contract::kRejectAction) {
        ArrangeRejectMode();
    } else if (IsQuota()) {
        ArrangeQuotaMode();
    } else {
        Close();
        return;
    }
    FocusFirstUsable();
}

void TForm1::Impl::ArrangeCommentMode() {
    window.SetCaption(Control::Form, Str(texts::kCommentCaption));
    for (const Control shown :
         {Control::Comments_ComboBox, Control::Label1, Control::Label2, Control::Label4, Control::Comment_Image}) {
        Show(shown, true);
    }
    window.SetTop(Control::Comment_Image, 15);
    Show(Control::Label3, false);
    Show(Control::Reason, false);
}

void TForm1::Impl::ArrangeRejectMode() {
    window.SetCaption(Control::Form, Str(texts::kRejectCaption));
    Show(Control::CancelBtn, false);
    window.SetLeft(Control::OKBtn, 147);
    for (const Control hidden : {Control::Comments_ComboBox, Control::Label1, Control::Label2, Control::Label4}) {
        Show(hidden, false);
    }
    window.SetTop(Control::Label3, 25);
    window.SetCaption(Control::Label3, Str(texts::kRejectLabel3));
    Show(Control::Label3, true);
    window.SetTop(Control::Reason, 135);
    Show(Control::Reason, true);
    Show(Control::Stop_Image, true);
}

void TForm1::Impl::ArrangeQuotaMode() {
    SetOkIsDefault(false);
    window.SetCaption(Control::Form, Str(texts::kQuotaCaption));
    Show(Control::Label2, false);
    window.SetTop(Control::Label1, 140);
    Show(Control::Label1, true);
    // Label3 carries its own font from the design, in the window-text colour.
    window.SetTop(Control::Label3, 160);
    window.SetCaption(Control::Label3, Str(texts::kQuotaLabel3));
    const bool waiting = job.quotaType == texts::kQuotaWait;
    Show(Control::Label3, !waiting);
    window.SetTop(Control::Confirm_Image, 20);
    Show(Control::Confirm_Image, true);

    const std::string caption = CountdownCaption(job.countdown);
    if (!caption.empty()) {
        window.SetCaption(Control::Label1, caption);
    }
    if (waiting) {
        Enable(Control::OKBtn, false);
        Enable(Control::CancelBtn, false);
    }

    Show(Control::Label4, false);
    Show(Control::Comments_ComboBox, false);
    window.SetTop(Control::Reason, 25);
    Show(Control::Reason, true);
    EnableTimer(Timer::Quota_Timer);
}

// Label1's caption by QuotaType; empty for a type that keeps "Comment:".
std::string TForm1::Impl::CountdownCaption(int seconds) const {
    for (const texts::CountdownWords& words : texts::kCountdownWords) {
        if (job.quotaType == words.quotaType) {
            return Str(words.head) + std::to_string(seconds) + Str(words.tail);
        }
    }
    return {};
}

// ---------------------------------------------------------------- decisions

void TForm1::Impl::Close() {
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose) {
        quitRequested = true;
        window.RequestQuit();
    }
}

void TForm1::Impl::FormCloseQuery(bool& canClose) {
    if (IsQuota() && job.response.empty()) {
        // The dialog stays, and answers while a large history is still being ordered:
        // the comment is saved once the order is complete.
        history.RecordAndSaveSoon(job.programFolder, window.CommentText());
        KeepLoadingHistory();
        canClose = false;
        CancelBtnClick();
        return;
    }
    // The program is ending: the user sees the dialog go at once, and the process ends
    // once the ordering that the save needs is complete. If the drop-down refuses the
    // comment, the dialog comes back with that error and stays.
    const bool hidden = history.Ordering();
    if (hidden) {
        Show(Control::Form, false);
    }
    try {
        history.RecordAndSave(job.programFolder, window.CommentText());
    } catch (...) {  // rethrown, once the dialog is back
        if (hidden) {
            Show(Control::Form, true);
        }
        throw;
    }
    KeepLoadingHistory();
    canClose = true;
}

void TForm1::Impl::OKBtnClick() {
    WriteToLog(Str(texts::kLogOkClick));
    if (job.action == contract::kRejectAction) {
        Close();
    } else if (IsQuota()) {
        // A decision made while the box was open (the countdown's cancel) is final: the
        // program is ending and must not write a second, opposite answer.
        if (Confirm(texts::kConfirmPrint) && !quitRequested) {
            Response_to_the_Processor_Is(Str(contract::kResponsePrintPrefix) + job.jobId);
            Close();
        }
    } else {
        socket.SetAddress(job.serverIp);
        socket.SetPort(contract::kServerPort);
        // A connection that fails at once cannot time out: its error box is its only one,
        // and a watchdog still running for an earlier attempt keeps its expiry.
        socket.Open();
        EnableTimer(Timer::WatchDog_Timer);
    }
}

void TForm1::Impl::CancelBtnClick() {
    WriteToLog(Str(texts::kLogCancelClick));
    if (IsQuota()) {
        if (Confirm(texts::kConfirmCancelJob) && !quitRequested) {
            Response_to_the_Processor_Is(Str(contract::kResponseCancel));
            Close();
        }
    } else if (Confirm(texts::kConfirmQuit)) {
        Close();
    }
}

void TForm1::Impl::Comments_ComboBoxKeyUp(int key) {
    if (key == kKeyEnter) {
        OKBtnClick();
    } else if (key == kKeyEscape) {
        CancelBtnClick();
    }
}

void TForm1::Impl::Quota_TimerTimer() {
    DisableTimer(Timer::Quota_Timer);
    --job.countdown;
    const std::string caption = CountdownCaption(job.countdown);
    if (!caption.empty()) {
        window.SetCaption(Control::Label1, caption);
    }
    if (job.countdown != 0) {
        EnableTimer(Timer::Quota_Timer);
        return;
    }
    window.SetAlwaysOnTop(false);
    ShowInformation(texts::kJobCanceled);
    Close();
}

void TForm1::Impl::Response_to_the_Processor_Is(const std::string& text) {
    job.response = text;
    const std::string path = contract::ResponseFilePath(job.jobFilePath);
    if (!jobFiles.WriteProfileValue(path, Str(contract::kJobSection), Str(contract::kResponseKey), text)) {
        Report(events::kQuotaResponseNotWritten, path);
        throw DialogError(Str(texts::kUnableToWrite) + path);
    }
}

// ---------------------------------------------------------------- comment submission

void TForm1::Impl::ClientSocketConnect(ClientSocket& connection) {
    reply.Reset();
    if (job.action == contract::kCommentAction) {
        connection.SendText(CommentMessage(job.jobId, window.CommentText()));
    }
}

void TForm1::Impl::ClientSocketRead(ClientSocket& connection) {
    const std::string text = connection.ReceiveText();
    // The watchdog keeps running while the reply may still become an acknowledgement.
    switch (reply.Add(text)) {
        case Reply::Undecided:
            break;
        case Reply::Other:
            DisableTimer(Timer::WatchDog_Timer);
            Report(events::kCommentNotDelivered, texts::kEventNoAcknowledgement);
            break;
        case Reply::Acknowledgement:
            DisableTimer(Timer::WatchDog_Timer);
            Close();
            break;
    }
}

void TForm1::Impl::ClientSocketError(ClientSocket& connection, int& errorCode) {
    WriteToLog(Str(texts::kLogSocketError) + std::to_string(errorCode));
    const int code = errorCode;
    errorCode = 0;
    DisableTimer(Timer::WatchDog_Timer);
    if (job.action == contract::kCommentAction) {
        Report(events::kCommentNotDelivered, Str(texts::kEventSocketError) + std::to_string(code));
        ShowError(Str(texts::kServerErrorHead) + job.serverIp + Str(texts::kServerErrorMiddle) +
                           std::to_string(code) + Str(texts::kServerErrorTail));
    }
    connection.Close();
}

void TForm1::Impl::WatchDog_TimerTimer() {
    DisableTimer(Timer::WatchDog_Timer);
    const std::string text = Str(texts::kTimeoutHead) + job.serverIp + Str(texts::kTimeoutTail);
    WriteToLog(text);
    Report(events::kCommentNotDelivered, texts::kEventTimeout);
    ShowError(text);
    socket.Close();
}

// ---------------------------------------------------------------- event entries

TForm1::TForm1(ProgramStart start, const FormParts& parts)
    : impl_(std::make_unique<Impl>(std::move(start), parts)) {}

TForm1::~TForm1() = default;

void TForm1::FormActivate() noexcept {
    if (impl_->activated) {
        return;
    }
    impl_->activated = true;
    impl_->Guarded([this] { impl_->FormActivate(); });
}

void TForm1::ButtonClicked(Control button) noexcept { impl_->Click(button); }

bool TForm1::KeyDown(int key, bool shiftCtrlOrAltHeld, Control focus, bool dropDownOpen) noexcept {
    if (!IsButtonKey(key)) {
        return false;
    }
    Impl& d = *impl_;
    d.Pressed(key) = true;
    if (key == kKeyEnter && (focus == Control::OKBtn || focus == Control::CancelBtn) && d.Usable(focus)) {
        d.Click(focus);
        return true;
    }
    if (shiftCtrlOrAltHeld || (focus == Control::Comments_ComboBox && dropDownOpen)) {
        return false;
    }
    if (key == kKeyEscape) {
        return d.PressEscape();
    }
    if (!(d.okIsDefault && d.Usable(Control::OKBtn))) {
        return false;
    }
    d.Click(Control::OKBtn);
    return true;
}

void TForm1::KeyUp(int key, Control focus) noexcept {
    if (IsButtonKey(key)) {
        // A release whose press went to a message box or another window is not the
        // dialog's key stroke.
        if (!impl_->Pressed(key)) {
            return;
        }
        impl_->Pressed(key) = false;
    }
    if (focus == Control::Comments_ComboBox && impl_->Usable(focus)) {
        impl_->Guarded([&] { impl_->Comments_ComboBoxKeyUp(key); });
    }
}

void TForm1::CloseRequested() noexcept {
    impl_->Guarded([this] { impl_->Close(); });
}

void TForm1::TimerFired(Timer timer) noexcept {
    // A tick queued before the timer stopped is ignored.
    if (!impl_->Running(timer)) {
        return;
    }
    impl_->Guarded([this, timer] {
        switch (timer) {
            case Timer::Quota_Timer: impl_->Quota_TimerTimer(); break;
            case Timer::WatchDog_Timer: impl_->WatchDog_TimerTimer(); break;
            case Timer::History_Timer: impl_->History_TimerTimer(); break;
        }
    });
}

void TForm1::SocketNotified(SocketId socket, NetworkEvent event, int error) noexcept {
    impl_->Guarded([&] { impl_->socket.Notify(socket, event, error); });
}

void TForm1::SettingsChanged() noexcept { impl_->log.ReadTimeSeparator(); }

const JobValues& TForm1::Job() const { return impl_->job; }

}  // namespace tallyhorn::client
