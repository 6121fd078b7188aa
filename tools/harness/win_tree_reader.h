// The installation check's reader of the file system for its walk: owners, DACLs and the
// names in folders, never through a reparse point; paths in UTF-8.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tools/harness/access_audit.h"

namespace tallyhorn::harness {

// "error 5: Access is denied": the number for a search, the words for a person.
std::string ErrorText(std::uint32_t code);

// UTF-8 to UTF-16 and back, for names that no ANSI code page holds, and ANSI to UTF-16.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8(const std::wstring& text);
std::wstring WideFromAnsi(const std::string& text);

class WinTreeReader final : public TreeReader {
public:
    ObjectFacts Read(const std::string& path) override;
    std::vector<std::string> List(const std::string& folder, std::uint32_t& error) override;
    std::string AccountName(const std::string& sid) override;
    std::string ErrorText(std::uint32_t code) override { return harness::ErrorText(code); }

private:
    std::map<std::string, std::string> names_;  // a domain's lookups can be slow; each SID once
};

}  // namespace tallyhorn::harness
