// Where the feed looks for its page.
#include "announce/announcement_address.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(AnnouncementAddress, EnvironmentOverridesTheBuiltInAddress) {
    unsetenv(kAnnouncementAddressVariable);
    EXPECT_EQ(AnnouncementAddress(), kBuiltInAnnouncementAddress);
    EXPECT_EQ(AnnouncementAddress().rfind("http://", 0), 0u);
    setenv(kAnnouncementAddressVariable, "", 1);
    EXPECT_EQ(AnnouncementAddress(), kBuiltInAnnouncementAddress);
    setenv(kAnnouncementAddressVariable, "http://127.0.0.1:8/x", 1);
    EXPECT_EQ(AnnouncementAddress(), "http://127.0.0.1:8/x");
    unsetenv(kAnnouncementAddressVariable);
}

}  // namespace
