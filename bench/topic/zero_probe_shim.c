/* Diagnostic for the topic benchmark only: turns the HTTP client's 1 ms idle-connection probe
 * (a poll with a 1 ms limit before every request on a kept-alive connection) into a poll that
 * does not wait, so the benchmark can show how much of the export's wall time that wait is.
 * Never linked into the program. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <poll.h>

int poll(struct pollfd* fds, nfds_t count, int timeout_ms) {
    static int (*real_poll)(struct pollfd*, nfds_t, int);
    if (real_poll == 0) {
        real_poll = (int (*)(struct pollfd*, nfds_t, int))dlsym(RTLD_NEXT, "poll");
    }
    return real_poll(fds, count, timeout_ms == 1 ? 0 : timeout_ms);
}
