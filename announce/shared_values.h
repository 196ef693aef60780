#pragma once
// Process-wide values shared by the window, the topic loader and the ticker.

#include <atomic>
#include <string>

// 1 once the announcement worker has given up fetching its page; 0 before (set by the window's
// first show). Written by the worker, read on the main thread.
extern std::atomic<int> NetworkFailed;

// The version of the running program, "1.0"; main thread only.
extern std::string CurrentVersion;

// Ticks of the ticker that passed its guards; main thread only.
extern int TickCount;
