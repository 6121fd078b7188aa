// What the dialog TForm1 asks of the platform for the job file and its response file.
#pragma once

#include <string>

namespace tallyhorn::client {

class JobFilePlatform {
public:
    virtual bool FileExists(const std::string& path) = 0;
    // A value of a profile-format file, read with an empty default through a 2048-byte buffer.
    virtual std::string ReadProfileValue(const std::string& file, const std::string& section,
                                         const std::string& key) = 0;
    // Writes a value into a profile-format file; false when that failed.
    virtual bool WriteProfileValue(const std::string& file, const std::string& section, const std::string& key,
                                   const std::string& value) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;

protected:
    ~JobFilePlatform() = default;
};

}  // namespace tallyhorn::client
