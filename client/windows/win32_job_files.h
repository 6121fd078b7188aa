// The dialog's job and response files on Win32: profile files read and written with the
// profile API.
#pragma once

#include <windows.h>

#include <string>

#include "client/job_file_platform.h"
#include "common/windows/basics.h"
#include "common/windows/files.h"

namespace tallyhorn::client::win {

class Win32JobFiles final : public JobFilePlatform {
public:
    bool FileExists(const std::string& path) override { return ::tallyhorn::win::SearchFindsFileWithDosDate(path); }
    std::string ReadProfileValue(const std::string& file, const std::string& section,
                                 const std::string& key) override {
        return ::tallyhorn::win::ReadProfileString(file, section, key, "");
    }
    bool WriteProfileValue(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& value) override {
        return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
    }
    bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != FALSE; }
};

}  // namespace tallyhorn::client::win
