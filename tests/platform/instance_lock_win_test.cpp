#include <gtest/gtest.h>

#include "platform/instance_lock.h"

namespace korvane {
namespace {

// The named mutex is per session, not per process: a second acquire in the
// same process is refused as one from another copy would be.
TEST(InstanceLock, OneHolderPerNameUntilItGoesAway) {
    {
        std::optional<InstanceLock> first = InstanceLock::acquire("KorvaneTest");
        ASSERT_TRUE(first.has_value());
        EXPECT_FALSE(InstanceLock::acquire("KorvaneTest").has_value());
        EXPECT_TRUE(InstanceLock::acquire("KorvaneTestOther").has_value());
    }
    EXPECT_TRUE(InstanceLock::acquire("KorvaneTest").has_value());
}

}  // namespace
}  // namespace korvane
