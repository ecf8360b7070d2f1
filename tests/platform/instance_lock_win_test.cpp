#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/instance_lock.h"

namespace korvane {
namespace {

// The named mutex is per session, not per process: a second acquire in the
// same process is refused just as one from another copy would be.
TEST(InstanceLock, OneHolderPerNameUntilItGoesAway) {
    const std::string name = "KorvaneTest";
    {
        std::optional<InstanceLock> first = InstanceLock::acquire(name);
        ASSERT_TRUE(first.has_value());
        EXPECT_FALSE(InstanceLock::acquire(name).has_value());
        EXPECT_TRUE(InstanceLock::acquire(name + "Other").has_value());
        InstanceLock moved = std::move(*first);  // the lock travels with the object
        first.reset();
        EXPECT_FALSE(InstanceLock::acquire(name).has_value());
    }
    EXPECT_TRUE(InstanceLock::acquire(name).has_value());
}

}  // namespace
}  // namespace korvane
