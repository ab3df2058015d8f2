// A private temporary folder for one test, removed with everything in it.
#pragma once
#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }  // ends without a backslash
    std::string File(const std::string& name) const { return path_ + "\\" + name; }
    std::vector<std::string> Names() const;  // the folder's files, sorted

private:
    std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
