#include <windows.h>

#include "platform/file_prefix.h"

namespace korvane {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A plain file on a disk: not a folder, console, pipe or other device.
bool isDiskFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// What the name holds when it cannot be read: only a regular file counts as
// unreadable (one that may be deleted and written anew). Asking for no access
// opens even a file others hold, and a folder (backup semantics).
FileRead unopened(const std::filesystem::path& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? FileRead::missing
                   : FileRead::unreadable;
    }
    const bool regular = isDiskFile(file);
    ::CloseHandle(file);
    return regular ? FileRead::unreadable : FileRead::notRegular;
}

}  // namespace

FilePrefix readFilePrefix(const std::filesystem::path& path, std::size_t maxBytes) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {FileRead::missing, {}};
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return {FileRead::notRegular, {}};
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {unopened(path), {}};
    // A link may lead to a pipe or device that the name's own attributes hide.
    if (!isDiskFile(file)) {
        ::CloseHandle(file);
        return {FileRead::notRegular, {}};
    }
    FilePrefix prefix{FileRead::read, std::vector<uint8_t>(maxBytes)};
    std::size_t got = 0;
    while (got < maxBytes) {
        const std::size_t left = maxBytes - got;
        const DWORD ask = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
        DWORD n = 0;
        // The end, or a failing disk: what came so far is the file.
        if (!::ReadFile(file, prefix.bytes.data() + got, ask, &n, nullptr) || n == 0) break;
        got += n;
    }
    ::CloseHandle(file);
    prefix.bytes.resize(got);
    return prefix;
}

}  // namespace korvane
