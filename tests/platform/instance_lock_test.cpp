#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace korvane {
namespace {

namespace fs = std::filesystem;

// Points XDG_RUNTIME_DIR at a fresh folder for the test's lifetime.
class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/korvane-lock-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        if (old) oldRuntimeDir_ = old;
        ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    }
    void TearDown() override {
        if (oldRuntimeDir_)
            ::setenv("XDG_RUNTIME_DIR", oldRuntimeDir_->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(folder_);
    }

    // Exit status of a child process that tries to take the lock: 0 taken, 1 refused.
    static int childTries(const std::string& name) {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(InstanceLock::acquire(name) ? 0 : 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path folder_;
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

TEST_F(InstanceLockTest, FallsBackToTmpWithoutARuntimeFolder) {
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string name = "korvane-test-" + std::to_string(::getpid());
    const fs::path fallback = "/tmp/" + name + "-" + std::to_string(::getuid()) + ".lock";
    {
        std::optional<InstanceLock> first = InstanceLock::acquire(name);
        ASSERT_TRUE(first.has_value());
        EXPECT_TRUE(fs::exists(fallback));
        EXPECT_EQ(childTries(name), 1);
    }
    fs::remove(fallback);
}

}  // namespace
}  // namespace korvane
