/* Drains a query that answers long lines: sends the query, reads its reply line, repeats until
 * the reply is empty or n replies came. Prints one result line:
 *   replies R bytes B values V seconds S mbps M
 *   drain_client -h host -p port [-q query] [-n max-replies]
 * The instrument's DATA:R? ends with an empty reply once the logger is empty (-230 queued, no
 * answer), so the query is followed by *OPC? marker only in its own measurement: the client
 * sends "query;*OPC?" and takes "1" alone as the end. A baseline server answers every line with
 * the same text, so there -n bounds the run.
 */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "line_connect.h"

#define REPLY_TIMEOUT_MS 10000

static char buffer[1 << 20];
static size_t filled = 0;

/* Reads one reply line into buffer[0 .. *length); 0 on success. */
static int readLine(int fd, size_t *length)
{
    for (;;) {
        char *nl = memchr(buffer, '\n', filled);
        if (nl) {
            *length = (size_t)(nl - buffer);
            return 0;
        }
        if (filled == sizeof buffer || awaitReadableFor(fd, REPLY_TIMEOUT_MS) < 0)
            return -1;
        ssize_t n = recv(fd, buffer + filled, sizeof buffer - filled, 0);
        if (n <= 0)
            return -1;
        filled += (size_t)n;
    }
}

static void consume(size_t length)
{
    memmove(buffer, buffer + length + 1, filled - length - 1);
    filled -= length + 1;
}

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char **argv)
{
    const char *host = "127.0.0.1";
    const char *port = NULL;
    const char *query = "DATA:R?;*OPC?";
    long maxReplies = 1000000;
    int opt;
    while ((opt = getopt(argc, argv, "h:p:q:n:")) != -1) {
        switch (opt) {
        case 'h':
            host = optarg;
            break;
        case 'p':
            port = optarg;
            break;
        case 'q':
            query = optarg;
            break;
        case 'n':
            maxReplies = atol(optarg);
            break;
        default:
            fprintf(stderr, "usage: %s -h host -p port [-q query] [-n max-replies]\n", argv[0]);
            return 2;
        }
    }
    if (!port)
        return 2;
    int fd = connectTo(host, port);
    if (fd < 0)
        return 1;
    char line[256];
    snprintf(line, sizeof line, "%s\n", query);
    long replies = 0;
    unsigned long long bytes = 0;
    unsigned long long values = 0;
    const double start = now();
    while (replies < maxReplies) {
        if (sendAll(fd, line, strlen(line)) != 0)
            return 1;
        size_t length = 0;
        if (readLine(fd, &length) != 0) {
            fprintf(stderr, "no reply\n");
            return 1;
        }
        if (length == 1 && buffer[0] == '1') {
            consume(length);
            break;
        }
        bytes += length + 1;
        for (size_t i = 0; i < length; ++i)
            values += buffer[i] == ',';
        values += 1;
        consume(length);
        ++replies;
    }
    const double seconds = now() - start;
    printf("replies %ld bytes %llu values %llu seconds %.6f mbps %.1f\n",
        replies,
        bytes,
        values,
        seconds,
        seconds > 0 ? (double)bytes / seconds / 1e6 : 0.0);
    close(fd);
    return 0;
}
