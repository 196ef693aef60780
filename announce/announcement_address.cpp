#include "announce/announcement_address.h"

#include <cstdlib>

const char* const kBuiltInAnnouncementAddress = TOVALIN_BUILT_IN_ANNOUNCE_URL;

std::string AnnouncementAddress() {
    const char* override_address = std::getenv(kAnnouncementAddressVariable);
    if (override_address != nullptr && *override_address != '\0') {
        return override_address;
    }
    return kBuiltInAnnouncementAddress;
}
