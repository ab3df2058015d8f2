#include "support/std_streams.h"

namespace {

HANDLE Create(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                       nullptr);
}

}  // namespace

Redirected::Redirected(const TempFolder& folder)
    : outPath_(folder.File("out.txt")), errPath_(folder.File("err.txt")) {
    oldOut_ = GetStdHandle(STD_OUTPUT_HANDLE);
    oldErr_ = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, Create(outPath_));
    SetStdHandle(STD_ERROR_HANDLE, Create(errPath_));
}

void Redirected::Restore() {
    if (!oldOut_) return;
    CloseHandle(GetStdHandle(STD_OUTPUT_HANDLE));
    CloseHandle(GetStdHandle(STD_ERROR_HANDLE));
    SetStdHandle(STD_OUTPUT_HANDLE, oldOut_);
    SetStdHandle(STD_ERROR_HANDLE, oldErr_);
    oldOut_ = nullptr;
}
