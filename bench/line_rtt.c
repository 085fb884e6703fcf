/* Measures the round trip of line queries over TCP: sends one query line, waits for one reply
 * line, repeats. Prints one result line with the median and spread in microseconds:
 *   queries N median_us M p90_us P p99_us Q min_us A max_us B mean_us C
 *   line_rtt -h host -p port [-n queries] [-w warm-up] [-q query] [-H]
 * -H: the port speaks HiSLIP; the client opens both channels and sends each query as DataEnd,
 * waiting for the DataEnd that answers it.
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

/* Receives more bytes into pending; 0 on success. */
static int receiveMore(int fd)
{
    for (;;) {
        if (awaitReadableFor(fd, REPLY_TIMEOUT_MS) < 0)
            return -1;
        ssize_t n = recv(fd, pending + pendingLen, sizeof pending - pendingLen, 0);
        if (n > 0) {
            pendingLen += (size_t)n;
            return 0;
        }
        if (n < 0 && errno == EINTR)
            continue;
        fprintf(stderr, "connection closed\n");
        return -1;
    }
}

/* One query and its reply; 0 on success. */
static int roundTrip(int fd, const char *query, size_t queryLen)
{
    if (sendAll(fd, query, queryLen) != 0)
        return -1;
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
        if (receiveMore(fd) != 0)
            return -1;
    }
}

/* HiSLIP: "HS", type, control code, parameter (32-bit) and payload length (64-bit), both
 * big-endian, then the payload. */
enum { HislipHeader = 16, HislipInitialize = 0, HislipInitializeResponse = 1, HislipDataEnd = 7,
    HislipAsyncInitialize = 17, HislipAsyncInitializeResponse = 18 };

static void putBe(unsigned char *p, unsigned long long value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        p[i] = (unsigned char)(value & 0xFF);
}

static unsigned long long getBe(const unsigned char *p, int bytes)
{
    unsigned long long value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

static int hislipSend(int fd, int type, int control, unsigned parameter, const char *payload,
    size_t len)
{
    unsigned char message[HislipHeader + 4096];
    if (len > 4096)
        return -1;
    message[0] = 'H';
    message[1] = 'S';
    message[2] = (unsigned char)type;
    message[3] = (unsigned char)control;
    putBe(message + 4, parameter, 4);
    putBe(message + 8, len, 8);
    memcpy(message + HislipHeader, payload, len);
    return sendAll(fd, (const char *)message, HislipHeader + len);
}

/* Reads one whole message into pending's front; returns its type and parameter, consumes it. */
static int hislipReceive(int fd, unsigned *parameter)
{
    for (;;) {
        if (pendingLen >= HislipHeader) {
            const unsigned char *h = (const unsigned char *)pending;
            unsigned long long len = getBe(h + 8, 8);
            if (h[0] != 'H' || h[1] != 'S' || len > sizeof pending - HislipHeader) {
                fprintf(stderr, "bad HiSLIP message\n");
                return -1;
            }
            if (pendingLen >= HislipHeader + len) {
                int type = h[2];
                *parameter = (unsigned)getBe(h + 4, 4);
                size_t used = HislipHeader + (size_t)len;
                memmove(pending, pending + used, pendingLen - used);
                pendingLen -= used;
                return type;
            }
        }
        if (receiveMore(fd) != 0)
            return -1;
    }
}

static unsigned hislipMessageId = 0xFFFFFF00u;
static int hislipDelivered = 0;

/* Opens both channels; returns the synchronous one, *asyncFd the other. */
static int hislipOpen(const char *host, const char *port, int *asyncFd)
{
    unsigned parameter = 0;
    int fd = connectTo(host, port);
    if (fd < 0 || hislipSend(fd, HislipInitialize, 0, 0x01004243u, "hislip0", 7) != 0
        || hislipReceive(fd, &parameter) != HislipInitializeResponse)
        return -1;
    *asyncFd = connectTo(host, port);
    int type = -1;
    if (*asyncFd >= 0 && hislipSend(*asyncFd, HislipAsyncInitialize, 0, parameter & 0xFFFF, "", 0) == 0)
        type = hislipReceive(*asyncFd, &parameter);
    if (type != HislipAsyncInitializeResponse) {
        fprintf(stderr, "HiSLIP initialization failed\n");
        return -1;
    }
    return fd;
}

static int hislipRoundTrip(int fd, const char *query, size_t queryLen)
{
    unsigned id = hislipMessageId += 2;
    unsigned parameter = 0;
    if (hislipSend(fd, HislipDataEnd, hislipDelivered, id, query, queryLen) != 0
        || hislipReceive(fd, &parameter) != HislipDataEnd || parameter != id) {
        fprintf(stderr, "no DataEnd answer for message %u\n", id);
        return -1;
    }
    hislipDelivered = 1;
    return 0;
}

int main(int argc, char **argv)
{
    const char *host = "127.0.0.1";
    const char *port = NULL;
    int queries = 2000;
    int warmUp = 100;
    const char *queryText = "*IDN?";
    int hislip = 0;
    int opt;
    while ((opt = getopt(argc, argv, "h:p:n:w:q:H")) != -1) {
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
        case 'H':
            hislip = 1;
            break;
        default:
            port = NULL;
            queries = 0;
            break;
        }
    }
    if (!port || queries < 1 || warmUp < 0) {
        fprintf(
            stderr, "usage: %s -h host -p port [-n queries] [-w warm-up] [-q query] [-H]\n", argv[0]);
        return 2;
    }
    size_t queryLen = strlen(queryText) + 1;
    char *query = malloc(queryLen);
    double *rtt = malloc(sizeof(double) * (size_t)queries);
    if (!query || !rtt)
        return 1;
    memcpy(query, queryText, queryLen - 1);
    query[queryLen - 1] = '\n';

    int asyncFd = -1;
    int fd = hislip ? hislipOpen(host, port, &asyncFd) : connectTo(host, port);
    if (fd < 0)
        return 1;
    int (*exchange)(int, const char *, size_t) = hislip ? hislipRoundTrip : roundTrip;
    for (int i = 0; i < warmUp; ++i) {
        if (exchange(fd, query, queryLen) != 0)
            return 1;
    }
    double sum = 0;
    for (int i = 0; i < queries; ++i) {
        double start = nowUs();
        if (exchange(fd, query, queryLen) != 0)
            return 1;
        rtt[i] = nowUs() - start;
        sum += rtt[i];
    }
    close(fd);
    if (asyncFd >= 0)
        close(asyncFd);

    printRtt(rtt, queries, sum);
    free(rtt);
    free(query);
    return 0;
}
