// Errors that end a dialog handler, and how the general error box shows them.
#include "client/dialog_error.h"

#include <cctype>

namespace tallyhorn::client {

std::string ProgramTitle(const std::string& programFileName) {
    std::string title = programFileName.substr(0, programFileName.find('.'));
    for (std::size_t i = 1; i < title.size(); ++i) {
        // ASCII only: the name's other bytes are ANSI text whose case rules we do not know.
        const auto c = static_cast<unsigned char>(title[i]);
        if (c < 0x80) {
            title[i] = static_cast<char>(std::tolower(c));
        }
    }
    return title;
}

std::string GeneralErrorText(const std::string& errorText) {
    if (!errorText.empty() && static_cast<unsigned char>(errorText.back()) > static_cast<unsigned char>('.')) {
        return errorText + ".";
    }
    return errorText;
}

std::string WindowsSocketErrorText(const std::string& platformText, int code, const std::string& api) {
    return "Windows socket error: " + platformText + " (" + std::to_string(code) + "), on API '" + api + "'";
}

std::string AsynchronousSocketErrorText(int code) {
    return "Asynchronous socket error " + std::to_string(code);
}

}  // namespace tallyhorn::client
