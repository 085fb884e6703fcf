/* The baseline for round-trip benchmarks: a plain POSIX TCP server that answers every line
 * (ended by a newline) with one fixed reply, sent in one write with TCP_NODELAY. Serves any
 * number of clients from one poll() loop. Prints "port N" once it listens; ends on SIGTERM or
 * SIGINT.
 *   baseline_line_server [-b address] [-p port] [-r reply]
 */
#define _POSIX_C_SOURCE 200809L

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#define MAX_CLIENTS 64
#define LINE_MAX_BYTES 4096

struct client
{
    int fd;
    size_t fill; /* bytes of an unfinished line held in line */
    char line[LINE_MAX_BYTES];
};

static volatile sig_atomic_t stopping = 0;

static void onSignal(int sig)
{
    (void)sig;
    stopping = 1;
}

static int sendAll(int fd, const char *data, size_t len)
{
    while (len > 0) {
        ssize_t n = send(fd, data, len, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        data += n;
        len -= (size_t)n;
    }
    return 0;
}

/* Returns -1 when the client has gone. */
static int serve(struct client *c, const char *reply, size_t replyLen)
{
    char in[LINE_MAX_BYTES];
    ssize_t n = recv(c->fd, in, sizeof in, 0);
    if (n <= 0)
        return (n < 0 && errno == EINTR) ? 0 : -1;
    for (ssize_t i = 0; i < n; ++i) {
        if (in[i] == '\n') {
            c->fill = 0;
            if (sendAll(c->fd, reply, replyLen) < 0)
                return -1;
        } else if (c->fill < sizeof c->line) {
            c->line[c->fill++] = in[i];
        } else {
            c->fill = 0; /* an overlong line is dropped, like the instrument does */
        }
    }
    return 0;
}

int main(int argc, char **argv)
{
    const char *address = "127.0.0.1";
    int port = 0;
    const char *replyText = "VEK,BASELINE,0,1.0";
    int opt;
    while ((opt = getopt(argc, argv, "b:p:r:")) != -1) {
        switch (opt) {
        case 'b':
            address = optarg;
            break;
        case 'p':
            port = atoi(optarg);
            break;
        case 'r':
            replyText = optarg;
            break;
        default:
            fprintf(stderr, "usage: %s [-b address] [-p port] [-r reply]\n", argv[0]);
            return 2;
        }
    }
    size_t replyLen = strlen(replyText) + 1;
    char *reply = malloc(replyLen + 1);
    if (!reply)
        return 1;
    memcpy(reply, replyText, replyLen - 1);
    reply[replyLen - 1] = '\n';

    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, NULL);
    sigaction(SIGINT, &sa, NULL);

    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    struct sockaddr_in sin;
    memset(&sin, 0, sizeof sin);
    sin.sin_family = AF_INET;
    sin.sin_port = htons((unsigned short)port);
    if (inet_pton(AF_INET, address, &sin.sin_addr) != 1) {
        fprintf(stderr, "bad address %s\n", address);
        return 2;
    }
    if (bind(listener, (struct sockaddr *)&sin, sizeof sin) < 0 || listen(listener, 16) < 0) {
        perror("bind/listen");
        return 1;
    }
    socklen_t sinLen = sizeof sin;
    getsockname(listener, (struct sockaddr *)&sin, &sinLen);
    printf("port %d\n", ntohs(sin.sin_port));
    fflush(stdout);

    static struct client clients[MAX_CLIENTS];
    int count = 0;
    struct pollfd fds[MAX_CLIENTS + 1];
    while (!stopping) {
        fds[0].fd = listener;
        fds[0].events = POLLIN;
        for (int i = 0; i < count; ++i) {
            fds[i + 1].fd = clients[i].fd;
            fds[i + 1].events = POLLIN;
        }
        if (poll(fds, (nfds_t)count + 1, 500) < 0) {
            if (errno == EINTR)
                continue;
            perror("poll");
            break;
        }
        for (int i = count - 1; i >= 0; --i) {
            if (!(fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            if (serve(&clients[i], reply, replyLen) < 0) {
                close(clients[i].fd);
                clients[i] = clients[--count];
            }
        }
        if (fds[0].revents & POLLIN) {
            int fd = accept(listener, NULL, NULL);
            if (fd >= 0 && count < MAX_CLIENTS) {
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                clients[count].fd = fd;
                clients[count].fill = 0;
                ++count;
            } else if (fd >= 0) {
                close(fd);
            }
        }
    }
    for (int i = 0; i < count; ++i)
        close(clients[i].fd);
    close(listener);
    free(reply);
    return 0;
}
