#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "gui_support.h"
#include "shell/session.h"

namespace korvane {
namespace {

using testing::TempFolder;

// Points the instance lock at a folder of this test's own for its lifetime.
class RuntimeDir {
public:
    explicit RuntimeDir(const std::filesystem::path& path) {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) previous_ = old;
        setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
    }
    ~RuntimeDir() {
        if (previous_.empty()) {
            unsetenv("XDG_RUNTIME_DIR");
        } else {
            setenv("XDG_RUNTIME_DIR", previous_.c_str(), 1);
        }
    }

private:
    std::string previous_;
};

TEST(SingleInstanceTest, SecondCopyIsToldAndGetsNoLock) {
    TempFolder runtime;
    RuntimeDir dir(runtime.path());
    std::optional<InstanceLock> first = InstanceLock::acquire("Korvane");
    ASSERT_TRUE(first.has_value());

    testing::ModalDriver modals;
    EXPECT_FALSE(takeInstanceLock().has_value());
    ASSERT_EQ(modals.messages().size(), 1u);
    EXPECT_EQ(modals.messages()[0].text,
              QStringLiteral("An Instace of Korvane is Already Running!"));
    EXPECT_EQ(modals.messages()[0].title, QString()) << "no caption: it is not loaded yet";
    EXPECT_EQ(modals.messages()[0].icon, QMessageBox::Critical);

    first.reset();
    EXPECT_TRUE(takeInstanceLock().has_value()) << "free again once the first copy ends";
    EXPECT_EQ(modals.messages().size(), 1u) << "no message for the only copy";
}

// Whether process `pid` holds a whole-file lock, as the kernel lists them.
bool holdsFlock(qint64 pid) {
    std::ifstream locks("/proc/locks");
    std::string line;
    const std::string tag = " " + std::to_string(pid) + " ";
    while (std::getline(locks, line)) {
        if (line.find("FLOCK") != std::string::npos && line.find(tag) != std::string::npos)
            return true;
    }
    return false;
}

// The built program, twice. The second copy's message box cannot be answered
// from outside on the offscreen platform, so this checks what can be seen
// from here: the second copy does not run a window of its own (it stays in
// its message box), takes no lock, and neither copy touches Korvane.ini. The
// exit code 0 that follows the box is covered above through the same path.
TEST(SingleInstanceTest, SecondProgramLeavesTheFirstAndItsFilesAlone) {
    TempFolder work;
    TempFolder runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path().string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    auto start = [&](QProcess& process) {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(work.path().string()));
        process.start(QStringLiteral(KORVANE_EXECUTABLE), {});
        return process.waitForStarted(5000);
    };

    QProcess first;
    ASSERT_TRUE(start(first));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!holdsFlock(first.processId()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(holdsFlock(first.processId())) << "the first copy took the instance lock";

    QProcess second;
    ASSERT_TRUE(start(second));
    // Long enough for it to have got past the lock had the guard failed.
    second.waitForFinished(1500);
    EXPECT_FALSE(holdsFlock(second.processId()));
    EXPECT_TRUE(holdsFlock(first.processId()));
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_FALSE(std::filesystem::exists(work / "Korvane.ini"));
    if (second.state() != QProcess::NotRunning) {
        second.kill();
        second.waitForFinished(5000);
    } else {
        EXPECT_EQ(second.exitCode(), 0);
    }

    first.kill();
    first.waitForFinished(5000);
    EXPECT_FALSE(std::filesystem::exists(work / "Korvane.ini"))
        << "a killed copy saves nothing either";
}

// A logout, kill or closed terminal ends the program like File, Exit: the
// settings are saved and the exit code is File, Exit's.
TEST(SingleInstanceTest, EndRequestsFromTheSystemSaveTheSettings) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempFolder work;
        TempFolder runtime;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path().string()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(QString::fromStdString(work.path().string()));
        program.start(QStringLiteral(KORVANE_EXECUTABLE), {});
        ASSERT_TRUE(program.waitForStarted(5000));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!holdsFlock(program.processId()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // its loop runs
        ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signal), 0);
        ASSERT_TRUE(program.waitForFinished(5000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 1);
        EXPECT_EQ(testing::readBytes(work / "Korvane.ini").size(), 36u);
    }
}

}  // namespace
}  // namespace korvane
