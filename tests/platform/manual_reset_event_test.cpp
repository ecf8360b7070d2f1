#include "platform/manual_reset_event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace korvane {
namespace {

using namespace std::chrono_literals;

TEST(ManualResetEvent, StaysSetUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.waitFor(10ms));
    event.set();
    EXPECT_TRUE(event.waitFor(0ms));
    EXPECT_TRUE(event.waitFor(0ms));  // a wait does not consume it
    event.reset();
    EXPECT_FALSE(event.isSet());
}

TEST(ManualResetEvent, WakesAWaiterFromAnotherThread) {
    ManualResetEvent event;
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        event.set();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(event.waitFor(5000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
    setter.join();
}

}  // namespace
}  // namespace korvane
