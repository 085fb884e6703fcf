#pragma once
/* The benchmark clients' socket helpers: connecting with TCP_NODELAY, waiting for a reply. */

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

static int connectTo(const char *host, const char *port)
{
    struct addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo *found = NULL;
    int rc = getaddrinfo(host, port, &hints, &found);
    if (rc != 0) {
        fprintf(stderr, "%s:%s: %s\n", host, port, gai_strerror(rc));
        return -1;
    }
    int fd = -1;
    for (struct addrinfo *a = found; a; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd < 0)
            continue;
        if (connect(fd, a->ai_addr, a->ai_addrlen) == 0)
            break;
        close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    if (fd < 0) {
        fprintf(stderr, "%s:%s: cannot connect\n", host, port);
        return -1;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

/* Sends all len bytes; 0, or -1 with a message. */
static inline int sendAll(int fd, const void *bytes, size_t len)
{
    const char *data = bytes;
    while (len > 0) {
        ssize_t n = send(fd, data, len, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            perror("send");
            return -1;
        }
        data += n;
        len -= (size_t)n;
    }
    return 0;
}

/* Waits up to timeoutMs for bytes to read: 0 when there are, -1 with a message otherwise. */
static int awaitReadableFor(int fd, int timeoutMs)
{
    for (;;) {
        struct pollfd p = { fd, POLLIN, 0 };
        int ready = poll(&p, 1, timeoutMs);
        if (ready > 0)
            return 0;
        if (ready == 0) {
            fprintf(stderr, "no reply within %d ms\n", timeoutMs);
            return -1;
        }
        if (errno != EINTR) {
            perror("poll");
            return -1;
        }
    }
}
