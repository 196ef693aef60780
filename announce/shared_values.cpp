#include "announce/shared_values.h"

std::atomic<int> NetworkFailed{0};
std::string CurrentVersion;
int TickCount = 0;
