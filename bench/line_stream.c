/* Measures a write-only stream of short commands over TCP: sends N command lines in large
 * writes without waiting, then one query line and waits for its reply, which comes only after
 * every command before it has run. Prints one result line:
 *   commands N seconds S commands_per_s R
 *   line_stream -h host -p port [-n commands] [-c command] [-q closing query]
 */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "line_connect.h"

#define REPLY_TIMEOUT_MS 60000
#define CHUNK_BYTES 65536

static double nowS(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

/* Waits for one reply line; 0 on success. */
static int awaitLine(int fd)
{
    char buffer[4096];
    for (;;) {
        if (awaitReadableFor(fd, REPLY_TIMEOUT_MS) < 0)
            return -1;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            fprintf(stderr, "connection closed\n");
            return -1;
        }
        if (memchr(buffer, '\n', (size_t)n))
            return 0;
    }
}

int main(int argc, char **argv)
{
    const char *host = "127.0.0.1";
    const char *port = NULL;
    long commands = 100000;
    const char *command = "*CLS";
    const char *closing = "*OPC?";
    int opt;
    while ((opt = getopt(argc, argv, "h:p:n:c:q:")) != -1) {
        switch (opt) {
        case 'h':
            host = optarg;
            break;
        case 'p':
            port = optarg;
            break;
        case 'n':
            commands = atol(optarg);
            break;
        case 'c':
            command = optarg;
            break;
        case 'q':
            closing = optarg;
            break;
        default:
            port = NULL;
            break;
        }
    }
    size_t lineLen = strlen(command) + 1;
    if (!port || commands < 1 || lineLen > CHUNK_BYTES) {
        fprintf(stderr,
            "usage: %s -h host -p port [-n commands] [-c command] [-q closing query]\n",
            argv[0]);
        return 2;
    }
    /* One chunk holds as many whole lines as fit. */
    size_t perChunk = CHUNK_BYTES / lineLen;
    char *chunk = malloc(perChunk * lineLen);
    if (!chunk)
        return 1;
    for (size_t i = 0; i < perChunk; ++i) {
        memcpy(chunk + i * lineLen, command, lineLen - 1);
        chunk[i * lineLen + lineLen - 1] = '\n';
    }
    size_t closingLen = strlen(closing);
    char *closingLine = malloc(closingLen + 1);
    if (!closingLine)
        return 1;
    memcpy(closingLine, closing, closingLen);
    closingLine[closingLen] = '\n';

    int fd = connectTo(host, port);
    if (fd < 0)
        return 1;
    double start = nowS();
    long left = commands;
    while (left > 0) {
        size_t lines = (size_t)left < perChunk ? (size_t)left : perChunk;
        if (sendAll(fd, chunk, lines * lineLen) != 0)
            return 1;
        left -= (long)lines;
    }
    if (sendAll(fd, closingLine, closingLen + 1) != 0 || awaitLine(fd) != 0)
        return 1;
    double seconds = nowS() - start;
    close(fd);
    printf(
        "commands %ld seconds %.3f commands_per_s %.0f\n", commands, seconds, commands / seconds);
    free(chunk);
    free(closingLine);
    return 0;
}
