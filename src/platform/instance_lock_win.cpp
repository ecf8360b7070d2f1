#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "platform/instance_lock.h"

namespace korvane {

struct InstanceLock::Native {
    explicit Native(HANDLE mutex) : handle(mutex) {}
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() { ::CloseHandle(handle); }  // the last handle gone, the name is free
    HANDLE handle;
};

std::optional<InstanceLock> InstanceLock::acquire(const std::string& name) {
    // The mutex is never owned: its existence under the name is the guard.
    // "Local\" keeps it to this user's session, like the per-user lock file.
    const std::wstring fullName = L"Local\\" + std::wstring(name.begin(), name.end());
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, fullName.c_str());
    const DWORD error = ::GetLastError();
    if (mutex == nullptr) {
        // A mutex of that name we may not open (made by an elevated copy)
        // still shows a copy running; any other failure leaves us unguarded
        // rather than claim that one does.
        if (error == ERROR_ACCESS_DENIED) return std::nullopt;
        return InstanceLock(nullptr);
    }
    if (error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return std::nullopt;
    }
    return InstanceLock(std::make_unique<Native>(mutex));
}

InstanceLock::InstanceLock(std::unique_ptr<Native> native) : native_(std::move(native)) {}
InstanceLock::InstanceLock(InstanceLock&& other) noexcept = default;
InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept = default;
InstanceLock::~InstanceLock() = default;

}  // namespace korvane
