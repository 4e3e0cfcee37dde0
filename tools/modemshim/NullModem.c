/* nullmodem: two pseudo-terminals joined like a null-modem cable, for tests
 * that drive a serial port from its far end.
 *
 *   nullmodem --link PATH_A --link PATH_B [--] [COMMAND [ARG...]]
 *
 * Creates two terminals in raw mode, links PATH_A and PATH_B to them (for
 * example $WINEPREFIX/dosdevices/com7 and com8), prints their device names
 * and relays every byte written to one to the other. With a command it runs
 * the command while the terminals exist and exits with its status;
 * otherwise it runs until SIGINT or SIGTERM. The links are removed at exit.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

struct end {
    int master;
    int slave; /* held open so that the terminal never hangs up */
    const char *link;
};

static volatile sig_atomic_t stop_requested;
static volatile sig_atomic_t child_ended;

static void on_stop(int signal) {
    (void)signal;
    stop_requested = 1;
}
static void on_child(int signal) {
    (void)signal;
    child_ended = 1;
}

static void usage(FILE *out) {
    fputs("usage: nullmodem --link PATH_A --link PATH_B [--] [COMMAND [ARG...]]\n"
          "Joins two raw pseudo-terminals like a null-modem cable, links the paths\n"
          "to them and relays bytes both ways; runs COMMAND while they exist.\n",
          out);
}

static int open_end(struct end *end) {
    end->master = posix_openpt(O_RDWR | O_NOCTTY);
    if (end->master < 0 || grantpt(end->master) != 0 || unlockpt(end->master) != 0)
        return -1;
    const char *name = ptsname(end->master);
    end->slave = name ? open(name, O_RDWR | O_NOCTTY) : -1;
    if (end->slave < 0)
        return -1;
    struct termios raw;
    tcgetattr(end->slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(end->slave, TCSANOW, &raw);
    unlink(end->link);
    if (symlink(name, end->link) != 0)
        return -1;
    printf("%s -> %s\n", end->link, name);
    return 0;
}

/* Copies what one terminal's program wrote to the other one's input. */
static void relay(int from, int to) {
    char buffer[4096];
    const ssize_t got = read(from, buffer, sizeof buffer);
    for (ssize_t done = 0; done < got;) {
        const ssize_t put = write(to, buffer + done, (size_t)(got - done));
        if (put < 0 && errno != EINTR && errno != EAGAIN)
            return;
        if (put > 0)
            done += put;
    }
}

int main(int argc, char **argv) {
    struct end ends[2] = {{-1, -1, NULL}, {-1, -1, NULL}};
    int links = 0, arg = 1;
    for (; arg < argc; ++arg) {
        if (strcmp(argv[arg], "--help") == 0) {
            usage(stdout);
            return 0;
        } else if (strcmp(argv[arg], "--link") == 0 && arg + 1 < argc && links < 2) {
            ends[links++].link = argv[++arg];
        } else if (strcmp(argv[arg], "--") == 0) {
            ++arg;
            break;
        } else if (argv[arg][0] == '-') {
            usage(stderr);
            return 2;
        } else {
            break;
        }
    }
    if (links != 2) {
        usage(stderr);
        return 2;
    }
    for (int i = 0; i < 2; ++i)
        if (open_end(&ends[i]) != 0) {
            perror("nullmodem");
            return 1;
        }
    fflush(stdout);

    signal(SIGINT, on_stop);
    signal(SIGTERM, on_stop);
    signal(SIGCHLD, on_child);
    pid_t child = -1;
    if (arg < argc) {
        child = fork();
        if (child == 0) {
            for (int i = 0; i < 2; ++i) {
                close(ends[i].master);
                close(ends[i].slave);
            }
            execvp(argv[arg], argv + arg);
            perror(argv[arg]);
            _exit(127);
        }
    }

    int status = 0;
    while (!stop_requested) {
        if (child_ended && child > 0 && waitpid(child, &status, WNOHANG) == child)
            break;
        struct pollfd fds[2] = {{ends[0].master, POLLIN, 0}, {ends[1].master, POLLIN, 0}};
        if (poll(fds, 2, 200) <= 0)
            continue;
        for (int i = 0; i < 2; ++i)
            if (fds[i].revents & POLLIN)
                relay(ends[i].master, ends[1 - i].master);
    }
    if (child > 0 && stop_requested) {
        kill(child, SIGTERM);
        waitpid(child, &status, 0);
    }
    for (int i = 0; i < 2; ++i)
        unlink(ends[i].link);
    if (child > 0)
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return 0;
}
