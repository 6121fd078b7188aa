// Tallyhorn_Harness --check: what the hook would read and use, checked one line each.
#pragma once

#include <string>

namespace tallyhorn::harness {

// Prints one line per point of the installation, always the same lines, "OK    <what>"
// or "FAIL  <what>: <what to do>" (also for a point that cannot be checked), and returns
// true when every line is OK. Reads the settings as the hook does; loads the library but
// never calls its export, never starts the monitor, and makes nothing.
bool CheckInstallation(const std::wstring& dllPath);

}  // namespace tallyhorn::harness
