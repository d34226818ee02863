/* LD_PRELOAD shim that lets Wine use a pseudo-terminal as a serial port.
 *
 * 1. Wine asks the modem-status lines (TIOCMGET) whenever it waits for a
 *    communication event; a pseudo-terminal refuses that ioctl, so
 *    WaitCommEvent returns at once with an empty mask and never reports
 *    EV_RXCHAR. The modem-line ioctls that the terminal refuses are answered
 *    as a null-modem cable would: every line raised, changes accepted.
 *
 * 2. When no byte is waiting, Wine hands WaitCommEvent to a helper thread
 *    that polls the line in a tight loop. Here 32-bit Wine runs under
 *    qemu-user, and there that helper thread breaks its process as soon as
 *    it completes (the next server call fails with EBADF and the process
 *    dies). So the queue-length query that Wine makes while arming the wait
 *    (TIOCINQ right after TIOCMGET, in the same thread) blocks here until a
 *    byte arrives; Wine then finds the event already there and never starts
 *    the helper thread. The block also ends when the line hangs up or when
 *    any thread drops or raises a modem line or flushes the port (the close
 *    sequence does both); the wait then reports one byte so the caller
 *    wakes, reads nothing and looks at its state again.
 *
 * Test harness only; nothing of this ships.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <poll.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

static const int kAllLinesUp = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
static const int kSliceMs = 50;

typedef int (*ioctl_fn)(int, unsigned long, ...);

static volatile unsigned wake_generation;
static __thread int last_fd = -1;
static __thread unsigned long last_request;

static int is_modem_request(unsigned long request)
{
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

static int is_wake_request(unsigned long request)
{
    return request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC || request == TCFLSH;
}

/* Blocks until fd is readable, hangs up, or a wake request was seen. Returns
 * 1 when the caller should see real data, 0 when it should see a fake byte. */
static int wait_for_input(int fd)
{
    unsigned start = __atomic_load_n(&wake_generation, __ATOMIC_SEQ_CST);
    for (;;) {
        struct pollfd watch = {fd, POLLIN, 0};
        int ready = poll(&watch, 1, kSliceMs);
        if (ready > 0)
            return (watch.revents & POLLIN) && !(watch.revents & (POLLHUP | POLLERR | POLLNVAL));
        if (ready < 0 && errno != EINTR)
            return 0;
        if (__atomic_load_n(&wake_generation, __ATOMIC_SEQ_CST) != start)
            return 0;
    }
}

static int call_real(const char *name, int fd, unsigned long request, void *arg)
{
    ioctl_fn real = (ioctl_fn)dlsym(RTLD_NEXT, name);
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    int arming_wait = request == TIOCINQ && last_fd == fd && last_request == TIOCMGET;
    last_fd = fd;
    last_request = request;
    if (is_wake_request(request))
        __atomic_add_fetch(&wake_generation, 1, __ATOMIC_SEQ_CST);

    if (arming_wait && isatty(fd)) {
        int queued = 0;
        if (real(fd, TIOCINQ, &queued) == 0 && queued == 0 && !wait_for_input(fd)) {
            *(int *)arg = 1;
            return 0;
        }
    }

    int result = real(fd, request, arg);
    if (result == 0 || !is_modem_request(request) || (errno != EINVAL && errno != ENOTTY))
        return result;
    if (request == TIOCMGET && arg)
        *(int *)arg = kAllLinesUp;
    errno = 0;
    return 0;
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    return call_real("ioctl", fd, request, arg);
}

#if defined(__i386__)
/* 32-bit glibc 2.34 and later route ioctl through this symbol as well. */
int __ioctl_time64(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    return call_real("__ioctl_time64", fd, request, arg);
}
#endif
