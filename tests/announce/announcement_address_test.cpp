// Where the feed looks for its page.
#include "announce/announcement_address.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(AnnouncementAddress, NoneUnlessTheBuildOrTheEnvironmentNamesOne) {
    unsetenv(kAnnouncementAddressVariable);
    // The default build names no page: updates come from the package manager.
    EXPECT_EQ(std::string(kBuiltInAnnouncementAddress), "");
    EXPECT_EQ(AnnouncementAddress(), "");
    setenv(kAnnouncementAddressVariable, "", 1);
    EXPECT_EQ(AnnouncementAddress(), "");
    setenv(kAnnouncementAddressVariable, "http://127.0.0.1:8/x", 1);
    EXPECT_EQ(AnnouncementAddress(), "http://127.0.0.1:8/x");
    unsetenv(kAnnouncementAddressVariable);
}

}  // namespace
