// What the hook's Wine tests need around the real binaries: running a program and
// reading its output, whole files, folder trees and Windows paths of the build tree.
#pragma once

#include <string>
#include <vector>

namespace tallyhorn::wine_test {

// A path of the Linux build tree as Wine sees it (drive Z: is the Linux root).
std::string WindowsPath(const std::string& path);

// One argument of a command line, quoted so that the C runtime gives it back unchanged.
std::string Quoted(const std::string& argument);

struct ProgramRun {
    unsigned long exitCode = 0;
    std::string output;  // standard output
};
// Runs a command line to its end, collecting its standard output.
ProgramRun Run(const std::string& commandLine);

bool Exists(const std::string& path);
bool IsFolder(const std::string& path);
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// Removes a folder and everything in it, trying again for a while when a program that a
// test started still holds a file in it.
void RemoveTree(const std::string& path);

std::vector<std::string> SplitLines(const std::string& text, const std::string& separator = "\r\n");

// Today's "DD_MM_YYYY".
std::string TodaysLogDate();

}  // namespace tallyhorn::wine_test
