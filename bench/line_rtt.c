/* Measures the round trip of line queries over TCP: sends one query line, waits for one reply
 * line, repeats. Prints one result line with the median and spread in microseconds:
 *   queries N median_us M p90_us P p99_us Q min_us A max_us B mean_us C
 *   line_rtt -h host -p port [-n queries] [-w warm-up] [-q query]
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
#include "rtt_stats.h"

#define REPLY_TIMEOUT_MS 5000

/* Bytes received after a reply's newline belong to the next reply. */
static char pending[65536];
static size_t pendingLen = 0;

/* One query and its reply; 0 on success. */
static int roundTrip(int fd, const char *query, size_t queryLen)
{
    size_t sent = 0;
    while (sent < queryLen) {
        ssize_t n = send(fd, query + sent, queryLen - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            perror("send");
            return -1;
        }
        sent += (size_t)n;
    }
    for (;;) {
        char *nl = memchr(pending, '\n', pendingLen);
        if (nl) {
            size_t used = (size_t)(nl - pending) + 1;
            memmove(pending, pending + used, pendingLen - used);
            pendingLen -= used;
            return 0;
        }
        if (pendingLen == sizeof pending)
            pendingLen = 0; /* a reply longer than the buffer: keep only its tail */
        if (awaitReadableFor(fd, REPLY_TIMEOUT_MS) < 0)
            return -1;
        ssize_t n = recv(fd, pending + pendingLen, sizeof pending - pendingLen, 0);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            fprintf(stderr, "connection closed\n");
            return -1;
        }
        pendingLen += (size_t)n;
    }
}

int main(int argc, char **argv)
{
    const char *host = "127.0.0.1";
    const char *port = NULL;
    int queries = 2000;
    int warmUp = 100;
    const char *queryText = "*IDN?";
    int opt;
    while ((opt = getopt(argc, argv, "h:p:n:w:q:")) != -1) {
        switch (opt) {
        case 'h':
            host = optarg;
            break;
        case 'p':
            port = optarg;
            break;
        case 'n':
            queries = atoi(optarg);
            break;
        case 'w':
            warmUp = atoi(optarg);
            break;
        case 'q':
            queryText = optarg;
            break;
        default:
            port = NULL;
            queries = 0;
            break;
        }
    }
    if (!port || queries < 1 || warmUp < 0) {
        fprintf(
            stderr, "usage: %s -h host -p port [-n queries] [-w warm-up] [-q query]\n", argv[0]);
        return 2;
    }
    size_t queryLen = strlen(queryText) + 1;
    char *query = malloc(queryLen);
    double *rtt = malloc(sizeof(double) * (size_t)queries);
    if (!query || !rtt)
        return 1;
    memcpy(query, queryText, queryLen - 1);
    query[queryLen - 1] = '\n';

    int fd = connectTo(host, port);
    if (fd < 0)
        return 1;
    for (int i = 0; i < warmUp; ++i) {
        if (roundTrip(fd, query, queryLen) != 0)
            return 1;
    }
    double sum = 0;
    for (int i = 0; i < queries; ++i) {
        double start = nowUs();
        if (roundTrip(fd, query, queryLen) != 0)
            return 1;
        rtt[i] = nowUs() - start;
        sum += rtt[i];
    }
    close(fd);

    printRtt(rtt, queries, sum);
    free(rtt);
    free(query);
    return 0;
}
