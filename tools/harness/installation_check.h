// Tallyhorn_Harness --check: what the hook would read and use, checked one line each.
#pragma once

#include <string>

namespace tallyhorn::harness {

// The classes of fault that the check's exit status tells apart, one bit each, so that a
// compliance rule can read any combination; 0 when every line is OK.
namespace check_status {
inline constexpr int kInstallation = 2;  // the installation: its settings, files, registration or permissions
inline constexpr int kMonitor = 4;       // the monitor is not there
inline constexpr int kServer = 8;        // the server does not answer
}  // namespace check_status

// Prints one line per point of the installation, "OK    <what>" or "FAIL  <what>: <what
// to do>" (also for a point that cannot be checked): always the same lines, and in the
// walk of the installed folders one more per object at fault. Ends with "RESULT: PASS" or
// "RESULT: FAIL <the FAIL lines>" and returns the exit status, the check_status bits of
// the FAIL lines. Reads the settings as the hook does; loads the library but never calls
// its export, never starts the monitor, and makes nothing.
int CheckInstallation(const std::wstring& dllPath);

}  // namespace tallyhorn::harness
