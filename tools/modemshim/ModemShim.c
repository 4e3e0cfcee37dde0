/* LD_PRELOAD shim: modem lines for terminals that have none.
 *
 * Wine's serial layer asks for the modem lines (TIOCMGET), which a
 * pseudo-terminal does not have: GetCommModemStatus fails and WaitCommEvent
 * is cancelled. Preloaded into Wine, this answers the modem-line requests
 * that a terminal refuses. Requests that the terminal answers itself (a real
 * serial adapter) are left alone.
 *
 * The input lines reported are read from the file named by GYRO_MODEM_LINES,
 * whenever it changes: words among CTS, DSR, RING (or RI) and DCD (or CD,
 * RLSD), separated by blanks or commas, any letter case. No variable, no
 * file or an empty file: all input lines off. The output lines (DTR, RTS)
 * that the process sets are remembered and reported back.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static pthread_mutex_t state_lock = PTHREAD_MUTEX_INITIALIZER;
static int output_lines;       /* TIOCM_DTR | TIOCM_RTS as set by the process */
static int input_lines;        /* from the lines file */
static struct stat lines_seen; /* the file's state when input_lines was read */

static int line_of_word(const char *word) {
    static const struct {
        const char *name;
        int bit;
    } names[] = {{"CTS", TIOCM_CTS}, {"DSR", TIOCM_DSR}, {"RING", TIOCM_RNG}, {"RI", TIOCM_RNG},
                 {"DCD", TIOCM_CAR}, {"CD", TIOCM_CAR}, {"RLSD", TIOCM_CAR}};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i)
        if (strcasecmp(word, names[i].name) == 0)
            return names[i].bit;
    return 0;
}

static int parse_lines(FILE *file) {
    char text[256];
    const size_t length = fread(text, 1, sizeof text - 1, file);
    text[length] = '\0';
    int lines = 0;
    char *rest = text;
    for (char *word; (word = strtok_r(rest, " \t\r\n,", &rest));)
        lines |= line_of_word(word);
    return lines;
}

static int same_file_state(const struct stat *a, const struct stat *b) {
    return a->st_ino == b->st_ino && a->st_size == b->st_size && a->st_mtim.tv_sec == b->st_mtim.tv_sec &&
           a->st_mtim.tv_nsec == b->st_mtim.tv_nsec;
}

/* Called with state_lock held. The file is read again only when it changed:
 * Wine asks for the lines about a thousand times a second. */
static void refresh_input_lines(void) {
    const char *path = getenv("GYRO_MODEM_LINES");
    struct stat now;
    if (!path || stat(path, &now) != 0) {
        input_lines = 0;
        memset(&lines_seen, 0, sizeof lines_seen);
        return;
    }
    if (same_file_state(&now, &lines_seen))
        return;
    FILE *file = fopen(path, "r");
    if (!file)
        return;
    input_lines = parse_lines(file);
    fclose(file);
    lines_seen = now;
}

static int answer(unsigned long request, int *arg) {
    pthread_mutex_lock(&state_lock);
    switch (request) {
        case TIOCMGET:
            refresh_input_lines();
            *arg = input_lines | output_lines;
            break;
        case TIOCMSET:
            output_lines = *arg & (TIOCM_DTR | TIOCM_RTS);
            break;
        case TIOCMBIS:
            output_lines |= *arg & (TIOCM_DTR | TIOCM_RTS);
            break;
        case TIOCMBIC:
            output_lines &= ~*arg;
            break;
    }
    pthread_mutex_unlock(&state_lock);
    return 0;
}

int ioctl(int fd, unsigned long request, ...) {
    static ioctl_fn real_ioctl;
    if (!real_ioctl)
        real_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);

    const int result = real_ioctl(fd, request, arg);
    const int modem_request =
        request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (result != -1 || !modem_request || (errno != ENOTTY && errno != EINVAL) || !arg)
        return result;
    const int saved_errno = errno;
    if (!isatty(fd)) {
        errno = saved_errno;
        return result;
    }
    return answer(request, (int *)arg);
}
