// Tallyhorn_Harness --check: what the hook would read and use, checked one line each.
#pragma once

#include <string>

namespace tallyhorn::harness {

// Prints one line per point of the installation, "OK    <what>" or
// "FAIL  <what>: <what to do>", and returns true when every line is OK. Reads the
// settings as the hook does; loads the library but never calls its export, and never
// starts the monitor; leaves nothing behind but the hook's own two folders.
bool CheckInstallation(const std::wstring& dllPath);

}  // namespace tallyhorn::harness
