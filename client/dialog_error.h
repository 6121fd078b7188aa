// Errors that end a dialog handler, and how the general error box shows them.
#pragma once

#include <stdexcept>
#include <string>

namespace tallyhorn::client {

// An error raised inside a handler; the event entry catches it and shows its text.
class DialogError : public std::runtime_error {
public:
    explicit DialogError(const std::string& text) : std::runtime_error(text) {}
};

// The program's title: its file name up to the first ".", every character after the
// first in lower case ("TallyhornClient.exe" gives "Tallyhornclient").
std::string ProgramTitle(const std::string& programFileName);

// The text of the general error box: the error's text, with "." appended when its last
// character sorts after "." in character-code order.
std::string GeneralErrorText(const std::string& errorText);

// "Windows socket error: %s (%d), on API '%s'" filled in.
std::string WindowsSocketErrorText(const std::string& platformText, int code, const std::string& api);

// "Asynchronous socket error %d" filled in.
std::string AsynchronousSocketErrorText(int code);

}  // namespace tallyhorn::client
