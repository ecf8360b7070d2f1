#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

#include "platform/file_replacement.h"
#include "platform/temporary_name.h"

namespace korvane {

struct FileReplacement::Temporary {
    std::filesystem::path target;       // as the caller named it
    std::filesystem::path replacement;  // the file it leads to, which is replaced
    std::filesystem::path path;
    HANDLE file = INVALID_HANDLE_VALUE;
};

namespace {

constexpr int kMaxLinkHops = 63;   // the system's own limit on reparse points in a path
constexpr int kNameAttempts = 64;  // names already taken before giving up
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A plain file on a disk: not a folder, console, pipe or other device.
bool isDiskFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// The name of the file an open handle holds, after every link on the way.
std::optional<std::filesystem::path> finalName(HANDLE file) {
    std::wstring name(MAX_PATH, L'\0');
    DWORD length =
        ::GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
    if (length >= name.size()) {  // too long for MAX_PATH: length is the size it needs
        name.resize(length);
        length = ::GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
    }
    if (length == 0 || length >= name.size()) return std::nullopt;
    name.resize(length);
    return name;
}

// The file a chain of links ends at, so the replacement takes that file's
// place and the links stay links; a dangling link names the file to create.
// Nothing when the chain ends at anything but a plain file, or loops.
std::optional<std::filesystem::path> replaceablePath(std::filesystem::path path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (::GetLastError() == ERROR_FILE_NOT_FOUND) return path;
            return std::nullopt;
        }
        const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        // Opened through every link, so the checks see the file at the end.
        const HANDLE file = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            std::optional<std::filesystem::path> result;
            if (isDiskFile(file)) result = link ? finalName(file) : path;
            ::CloseHandle(file);
            return result;
        }
        if (!link || ::GetLastError() != ERROR_FILE_NOT_FOUND) return std::nullopt;
        // A link whose file is not there yet: step along it by hand.
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error) return std::nullopt;
        path = path.parent_path() / next;  // an absolute link replaces the whole path
    }
    return std::nullopt;
}

std::string systemText(DWORD error) {
    return std::system_category().message(static_cast<int>(error));
}

}  // namespace

FileReplacement::FileReplacement(const std::filesystem::path& target) {
    const std::optional<std::filesystem::path> replacement = replaceablePath(target);
    if (!replacement) {
        failure_ = "it is not a regular file";
        return;
    }
    // A read-only file stays as it is: replacing it would get round its
    // attribute (the folder's rights, not the file's, govern a rename).
    const DWORD old = ::GetFileAttributesW(replacement->c_str());
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) != 0) {
        failure_ = "it is read-only";
        return;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::filesystem::path path = temporaryName(*replacement);
        // CREATE_NEW: never an existing file, nor a link left under the name.
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            failure_ = systemText(error);
            return;
        }
        temporary_.reset(new Temporary{target, *replacement, path, file});
        return;
    }
    failure_ = "no temporary name was free";
}

FileReplacement::~FileReplacement() { discard(); }

bool FileReplacement::write(const void* bytes, std::size_t size) {
    if (!temporary_) return false;
    const auto* next = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const DWORD ask = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
        DWORD n = 0;
        if (!::WriteFile(temporary_->file, next, ask, &n, nullptr) || n == 0) {
            if (failure_.empty())
                failure_ = systemText(n == 0 ? ERROR_DISK_FULL : ::GetLastError());
            return false;
        }
        next += n;
        size -= n;
    }
    return true;
}

FileReplacement::Outcome FileReplacement::commit() {
    if (!temporary_) return Outcome::writeFailed;
    // On the disk before it takes the old file's place, so a crash cannot
    // leave an empty file under the name.
    bool written = ::FlushFileBuffers(temporary_->file) != 0;
    if (!written) failure_ = systemText(::GetLastError());
    if (!::CloseHandle(temporary_->file)) written = false;
    temporary_->file = INVALID_HANDLE_VALUE;
    if (!written) {
        discard();
        return Outcome::writeFailed;
    }
    // The name may have become a link to a device or folder since the open.
    if (replaceablePath(temporary_->target) != temporary_->replacement) {
        failure_ = "it is no longer a regular file";
        discard();
        return Outcome::renameFailed;
    }
    const wchar_t* from = temporary_->path.c_str();
    const wchar_t* to = temporary_->replacement.c_str();
    // ReplaceFileW keeps the old file's attributes and access rights; it needs
    // an old file, and some volumes cannot do it, so a plain move follows.
    const bool replaced =
        (::GetFileAttributesW(to) != INVALID_FILE_ATTRIBUTES &&
         ::ReplaceFileW(to, from, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) ||
        ::MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced) {
        failure_ = systemText(::GetLastError());
        discard();
        return Outcome::renameFailed;
    }
    temporary_.reset();
    return Outcome::replaced;
}

void FileReplacement::discard() {
    if (!temporary_) return;
    if (temporary_->file != INVALID_HANDLE_VALUE) ::CloseHandle(temporary_->file);
    ::DeleteFileW(temporary_->path.c_str());
    temporary_.reset();
}

}  // namespace korvane
