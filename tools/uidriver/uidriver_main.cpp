// uidriver: the UI test driver as a command-line tool, for scripts that run the dialog
// headless (type a comment, answer a box, take a screenshot).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "client/windows/control_ids.h"
#include "tools/uidriver/uidriver.h"

namespace {

using namespace tallyhorn::uidriver;

constexpr char kUsage[] =
    "usage: uidriver COMMAND [ARG...] [--timeout MS]\n"
    "  start EXE JOBFILE [--show N]      start the dialog program, print its process id\n"
    "  wait-dialog                       wait for a dialog, print its caption\n"
    "  dump                              print every control: name, text, visible, enabled, place\n"
    "  type-comment TEXT [--press-enter] type TEXT into the comment box, then Enter\n"
    "  press enter|escape|tab            press and release a key in the dialog\n"
    "  answer-box yes|no|ok              wait for a message box, print it, click the button\n"
    "  screenshot FILE.bmp [--dialog]    save the screen (or the dialog) as a BMP file\n"
    "  wait-exit                         wait until no dialog is left\n";

struct Options {
    std::vector<std::string> words;
    DWORD timeoutMs = 15000;
    int show = -1;
    bool pressEnter = false;
    bool dialogOnly = false;
};

Options Parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--timeout" && i + 1 < argc) {
            options.timeoutMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        } else if (word == "--show" && i + 1 < argc) {
            options.show = std::atoi(argv[++i]);
        } else if (word == "--press-enter") {
            options.pressEnter = true;
        } else if (word == "--dialog") {
            options.dialogOnly = true;
        } else {
            options.words.push_back(word);
        }
    }
    return options;
}

HWND DialogOrFail(DWORD timeoutMs) {
    HWND dialog = FindDialog(0, timeoutMs);
    if (!dialog) std::fprintf(stderr, "uidriver: no dialog appeared\n");
    return dialog;
}

WORD KeyNamed(const std::string& name) {
    if (name == "enter") return VK_RETURN;
    if (name == "escape") return VK_ESCAPE;
    if (name == "tab") return VK_TAB;
    return 0;
}

int Run(const Options& options) {
    const std::vector<std::string>& w = options.words;
    if (w.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string& command = w[0];
    if (command == "start" && w.size() == 3) {
        Program program = StartProgram(w[1], "\"" + w[2] + "\"", options.show);
        if (!program.processId) {
            std::fprintf(stderr, "uidriver: cannot start %s (error %lu)\n", w[1].c_str(), GetLastError());
            return 1;
        }
        std::printf("%lu\n", program.processId);
        return 0;
    }
    if (command == "wait-dialog") {
        HWND dialog = DialogOrFail(options.timeoutMs);
        if (!dialog) return 1;
        std::printf("%s\n", TextOf(dialog).c_str());
        return 0;
    }
    if (command == "dump") {
        HWND dialog = DialogOrFail(options.timeoutMs);
        if (!dialog) return 1;
        std::printf("caption: %s\n", TextOf(dialog).c_str());
        for (const NamedControl& control : DialogControls()) {
            const ControlState state = ReadControl(dialog, control.id);
            std::printf("%-18s %-8s %-9s left %ld top %ld %ldx%ld \"%s\"\n", control.name,
                        state.visible ? "visible" : "hidden", state.enabled ? "enabled" : "disabled",
                        state.place.left, state.place.top, state.place.right - state.place.left,
                        state.place.bottom - state.place.top, state.text.c_str());
        }
        return 0;
    }
    if (command == "type-comment" && w.size() == 2) {
        HWND dialog = DialogOrFail(options.timeoutMs);
        if (!dialog) return 1;
        if (!BringToFront(dialog)) std::fprintf(stderr, "uidriver: the dialog is not in front\n");
        TypeText(w[1]);
        if (options.pressEnter) TapKey(VK_RETURN);
        return 0;
    }
    if (command == "press" && w.size() == 2 && KeyNamed(w[1])) {
        HWND dialog = DialogOrFail(options.timeoutMs);
        if (!dialog) return 1;
        BringToFront(dialog);
        TapKey(KeyNamed(w[1]));
        return 0;
    }
    if (command == "answer-box" && w.size() == 2) {
        const int button = w[1] == "yes" ? IDYES : w[1] == "no" ? IDNO : IDOK;
        const MessageBoxInfo box = FindMessageBox(0, options.timeoutMs);
        if (!box.window) {
            std::fprintf(stderr, "uidriver: no message box appeared\n");
            return 1;
        }
        std::printf("%s: %s\n", box.caption.c_str(), box.text.c_str());
        return ClickBoxButton(box.window, button) ? 0 : 1;
    }
    if (command == "screenshot" && w.size() == 2) {
        RECT area{};
        if (options.dialogOnly) {
            HWND dialog = DialogOrFail(options.timeoutMs);
            if (!dialog) return 1;
            area = WindowPlace(dialog);
        }
        return SaveScreenshot(w[1], options.dialogOnly ? &area : nullptr) ? 0 : 1;
    }
    if (command == "wait-exit") {
        const DWORD started = GetTickCount();
        while (FindDialog(0, 0)) {
            if (GetTickCount() - started >= options.timeoutMs) return 1;
            Sleep(50);
        }
        return 0;
    }
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    SetProcessDPIAware();  // places in device pixels, as the dialog lays itself out
    return Run(Parse(argc, argv));
}
