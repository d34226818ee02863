/* LD_PRELOAD shim that lets Wine use a pseudo-terminal as a serial port.
 *
 * Wine asks the modem-status lines (TIOCMGET) whenever it waits for a
 * communication event; a pseudo-terminal refuses that ioctl, so WaitCommEvent
 * returns at once with an empty mask and never reports EV_RXCHAR. Here the
 * modem-line ioctls that the terminal refuses are answered as a null-modem
 * cable would: every line raised, raising and dropping lines accepted.
 * Everything else goes to the real ioctl untouched.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <termios.h>

static const int kAllLinesUp = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int is_modem_request(unsigned long request)
{
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

static int call_real(const char *name, int fd, unsigned long request, void *arg)
{
    ioctl_fn real = (ioctl_fn)dlsym(RTLD_NEXT, name);
    if (!real) {
        errno = ENOSYS;
        return -1;
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
