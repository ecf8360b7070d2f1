#include <windows.h>

#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "platform/instance_lock.h"

namespace korvane {

struct InstanceLock::Native {
    Native(HANDLE mutex, std::string lockName) : handle(mutex), name(std::move(lockName)) {}
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() { ::CloseHandle(handle); }  // the last handle gone, the name is free
    HANDLE handle;
    std::string name;
};

namespace {

// "Local\" keeps a name to this user's session, like the per-user lock file.
std::wstring sessionName(const std::string& name) {
    return L"Local\\" + std::wstring(name.begin(), name.end());
}

// The auto-reset event a holder waits on; each call sets it once.
std::wstring callName(const std::string& name) { return sessionName(name + ".call"); }

}  // namespace

std::optional<InstanceLock> InstanceLock::acquire(const std::string& name) {
    // The mutex is never owned: its existence under the name is the guard.
    const std::wstring fullName = sessionName(name);
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
    return InstanceLock(std::make_unique<Native>(mutex, name));
}

bool InstanceLock::callHolder(const std::string& name) {
    const HANDLE event = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, callName(name).c_str());
    if (event == nullptr) return false;
    const bool sent = ::SetEvent(event) != 0;
    ::CloseHandle(event);
    return sent;
}

void InstanceLock::listenForCalls(std::function<void()> called) {
    if (!native_) return;
    const HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, callName(native_->name).c_str());
    if (event == nullptr) return;
    std::thread([event, called = std::move(called)] {
        while (::WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) called();
    }).detach();
}

InstanceLock::InstanceLock(std::unique_ptr<Native> native) : native_(std::move(native)) {}
InstanceLock::InstanceLock(InstanceLock&& other) noexcept = default;
InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept = default;
InstanceLock::~InstanceLock() = default;

}  // namespace korvane
