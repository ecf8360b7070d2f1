#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <thread>

#include "file_fixtures.h"
#include "instance_guard_probe.h"

namespace korvane {
namespace {

using testing::TempFolder;

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
        program.start(QDir(QCoreApplication::applicationDirPath())
                          .filePath(QStringLiteral(KORVANE_EXECUTABLE)),
                      {});
        ASSERT_TRUE(program.waitForStarted(5000));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!testing::instanceGuardHeld(runtime.path()) &&
               std::chrono::steady_clock::now() < deadline)
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
