#include "platform/instance_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "file_fixtures.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// Points XDG_RUNTIME_DIR at a fresh folder for the test's lifetime.
class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        if (old) oldRuntimeDir_ = old;
        ::setenv("XDG_RUNTIME_DIR", folder_.path().c_str(), 1);
    }
    void TearDown() override {
        if (oldRuntimeDir_)
            ::setenv("XDG_RUNTIME_DIR", oldRuntimeDir_->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
    }

    // Exit status of a child process that tries to take the lock: 0 taken, 1 refused.
    static int childTries(const std::string& name) {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(InstanceLock::acquire(name) ? 0 : 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    testing::TempFolder folder_;
    std::optional<std::string> oldRuntimeDir_;
};

TEST_F(InstanceLockTest, OnlyOneHolderAtATime) {
    std::optional<InstanceLock> first = InstanceLock::acquire("Korvane");
    ASSERT_TRUE(first.has_value());
    EXPECT_TRUE(fs::exists(folder_ / "Korvane.lock"));
    EXPECT_FALSE(InstanceLock::acquire("Korvane").has_value());
    EXPECT_EQ(childTries("Korvane"), 1);
    EXPECT_EQ(childTries("Other"), 0);  // a different name is a different guard
}

TEST_F(InstanceLockTest, ReleasedWhenTheHolderGoesAway) {
    {
        std::optional<InstanceLock> first = InstanceLock::acquire("Korvane");
        ASSERT_TRUE(first.has_value());
        InstanceLock moved = std::move(*first);  // the lock travels with the object
        first.reset();
        EXPECT_EQ(childTries("Korvane"), 1);
    }
    EXPECT_EQ(childTries("Korvane"), 0);
    EXPECT_TRUE(InstanceLock::acquire("Korvane").has_value());
}

// Runs `body` in a child process with empty folders of its own mounted on
// /run and /tmp, so the tests see neither the host's /run/user nor its /tmp.
// The child's exit status: body's result, or kNoNamespace when the system
// does not allow a private mount table (not root, or a locked-down container).
constexpr int kNoNamespace = 77;

int inPrivateRunAndTmp(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0 ||
            ::mount("tmpfs", "/tmp", "tmpfs", 0, "mode=0755") != 0)
            ::_exit(kNoNamespace);
        ::unsetenv("XDG_RUNTIME_DIR");
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// 0 when a child process without XDG_RUNTIME_DIR takes the lock, 1 when refused.
int childWithoutRuntimeVariableTries(const std::string& name) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::unsetenv("XDG_RUNTIME_DIR");
        ::_exit(InstanceLock::acquire(name) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string kUserRun = "/run/user/" + std::to_string(::getuid());
const std::string kTmpLock = "/tmp/Korvane-" + std::to_string(::getuid()) + ".lock";

int makeUserRun(uid_t owner) {
    if (::mkdir("/run/user", 0755) != 0 || ::mkdir(kUserRun.c_str(), 0700) != 0) return 10;
    return ::chown(kUserRun.c_str(), owner, owner) == 0 ? 0 : 11;
}

// The step that went wrong in a child, by its exit status.
std::string step(int status) {
    switch (status) {
        case 0:
            return "all steps passed";
        case 1:
            return "the first copy got no lock";
        case 2:
            return "a copy without XDG_RUNTIME_DIR was not refused";
        case 3:
            return "a copy with XDG_RUNTIME_DIR was not refused";
        case 4:
            return "the lock file is not where expected";
        case 5:
            return "a lock file is where it should not be";
        case 6:
            return "a file planted by another user blocked the start";
        default:
            return "setting up the folders failed: " + std::to_string(status);
    }
}

TEST(InstanceLockFolders, CopiesWithAndWithoutTheRuntimeVariableShareTheLock) {
    // A desktop copy (XDG_RUNTIME_DIR set by the session) against one started
    // from cron (no XDG_RUNTIME_DIR), in both orders.
    const int status = inPrivateRunAndTmp([] {
        if (const int failed = makeUserRun(::getuid())) return failed;
        {
            ::setenv("XDG_RUNTIME_DIR", kUserRun.c_str(), 1);
            const std::optional<InstanceLock> desktop = InstanceLock::acquire("Korvane");
            if (!desktop) return 1;
            if (childWithoutRuntimeVariableTries("Korvane") != 1) return 2;
        }
        ::unsetenv("XDG_RUNTIME_DIR");
        const std::optional<InstanceLock> cron = InstanceLock::acquire("Korvane");
        if (!cron) return 1;
        if (!fs::exists(kUserRun + "/Korvane.lock")) return 4;
        if (fs::exists(kTmpLock)) return 5;
        ::setenv("XDG_RUNTIME_DIR", kUserRun.c_str(), 1);
        return InstanceLock::acquire("Korvane") ? 3 : 0;
    });
    if (status == kNoNamespace) GTEST_SKIP() << "no private mount table allowed here";
    EXPECT_EQ(status, 0) << step(status);
}

TEST(InstanceLockFolders, FallsBackToTmpWithoutARuntimeFolderOfOurs) {
    struct Case {
        const char* legend;
        bool makeFolder;
        uid_t owner;
    };
    const Case cases[] = {
        {"no /run/user folder", false, ::getuid()},
        {"/run/user folder of another user", true, ::getuid() + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const int status = inPrivateRunAndTmp([&c] {
            if (c.makeFolder) {
                if (const int failed = makeUserRun(c.owner)) return failed;
            }
            const std::optional<InstanceLock> first = InstanceLock::acquire("Korvane");
            if (!first) return 1;
            if (!fs::exists(kTmpLock)) return 4;
            if (fs::exists(kUserRun + "/Korvane.lock")) return 5;
            return childWithoutRuntimeVariableTries("Korvane") == 1 ? 0 : 2;
        });
        if (status == kNoNamespace) GTEST_SKIP() << "no private mount table allowed here";
        EXPECT_EQ(status, 0) << step(status);
    }
}

TEST(InstanceLockFolders, ALockFilePlantedInTmpByAnotherUserDoesNotBlock) {
    const int status = inPrivateRunAndTmp([] {
        // Another user's file under our name, locked by them.
        const int planted = ::open(kTmpLock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (planted < 0 || ::fchown(planted, ::getuid() + 1, ::getgid() + 1) != 0) return 12;
        if (::flock(planted, LOCK_EX | LOCK_NB) != 0) return 13;
        const pid_t child = ::fork();
        if (child == 0) ::_exit(InstanceLock::acquire("Korvane") ? 0 : 6);
        int childStatus = 0;
        ::waitpid(child, &childStatus, 0);
        return WIFEXITED(childStatus) ? WEXITSTATUS(childStatus) : -1;
    });
    if (status == kNoNamespace) GTEST_SKIP() << "no private mount table allowed here";
    EXPECT_EQ(status, 0) << step(status);
}

}  // namespace
}  // namespace korvane
