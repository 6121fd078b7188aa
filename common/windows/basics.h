// The Win32 reads that the hook's and the dialog's seams (and the tools) make alike:
// profile values, the local time, the locale's time separator, the program's own file,
// the words for an error code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/daily_log.h"

namespace tallyhorn::win {

// A value of a profile-format file as GetPrivateProfileStringA gives it through a
// 2048-byte buffer: at most 2047 characters, the default when file, section or key is
// missing.
std::string ReadProfileString(const std::string& file, std::string_view section, std::string_view key,
                              const std::string& defaultValue);

LocalDateTime LocalNow();

// The thread locale's time separator as the locale gives it; empty when it cannot be read.
std::string LocaleTimeSeparator();

// The full path of the running program's file, however long; empty on failure.
std::string ProgramPath();
// Its folder, ending in a backslash.
std::string ProgramFolder();

// The system's words for a Windows or Windows Sockets error code, without the line end
// and full stop that end them; empty when the system has none.
std::string SystemErrorText(std::uint32_t code);

}  // namespace tallyhorn::win
