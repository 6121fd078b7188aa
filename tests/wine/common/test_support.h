// What every Wine test needs around the real binaries: Windows paths of the build tree,
// programs run to their end, folder trees, lines (whole files and the day's log date in files.h),
// waiting for a condition and profile values.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/wine/common/files.h"

namespace tallyhorn::wine_test {

// A path of the Linux build tree as Wine sees it (drive Z: is the Linux root); any other
// path as it is.
std::string WindowsPath(const std::string& path);

// One argument of a command line, quoted so that the C runtime gives it back unchanged.
std::string Quoted(const std::string& argument);

struct ProgramRun {
    unsigned long exitCode = 0;  // ~0 when the program could not be started
    std::string output;          // standard output
};
// Runs a command line to its end, collecting its standard output.
ProgramRun Run(const std::string& commandLine);

bool Exists(const std::string& path);
bool IsFolder(const std::string& path);

// Creates a folder and every missing folder above it; true when it is there afterwards.
bool CreateFolders(const std::string& path);
// Removes a folder and everything in it, trying again for a while when a program that a
// test started still holds a file in it.
void RemoveTree(const std::string& path);
// A folder of the running test's own, `prefix` + its suite and name + `suffix`, made
// afresh and empty; given with a backslash at its end.
std::string FreshTestFolder(const std::string& prefix, const std::string& suffix = "");

std::vector<std::string> SplitLines(const std::string& text, const std::string& separator = "\r\n");


// Asks `done` every 25 ms until it is true or the time is up; its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);

// A profile-format file's text: [section] and the lines, each ending in CR LF as Windows
// programs write them.
std::string ProfileText(const std::string& section, const std::vector<std::string>& lines);
// The value of one key of a profile-format file, read with the profile API; "\x01missing"
// when the file or the key is not there.
std::string ProfileValue(const std::string& file, const std::string& section, const std::string& key);

}  // namespace tallyhorn::wine_test
