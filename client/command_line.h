// The first argument of a program's command line, as the program start reads it.
#pragma once

#include <string>

namespace tallyhorn::client {

// The argument after the program name: runs of blanks and tabs separate arguments, a
// double quote starts or ends a quoted part and is itself dropped.
std::string FirstArgumentOf(const std::string& commandLine);

}  // namespace tallyhorn::client
