/* Measures the round trip of a query over VXI-11: create_link once, then per query one
 * device_write (with END) and one device_read of the whole answer, each an ONC-RPC call on the
 * core channel. Prints the same result line as line_rtt:
 *   queries N median_us M p90_us P p99_us Q min_us A max_us B mean_us C
 *   vxi11_rtt -h host [-p port] [-n queries] [-w warm-up] [-q query]
 */
#define _POSIX_C_SOURCE 200809L

#include <arpa/inet.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "line_connect.h"
#include "rtt_stats.h"

#define REPLY_TIMEOUT_MS 5000
#define DEVICE_CORE 395183u

static uint32_t s_xid = 0;
static unsigned char s_reply[65536];

static size_t putWord(unsigned char *at, uint32_t value)
{
    uint32_t big = htonl(value);
    memcpy(at, &big, 4);
    return 4;
}

static uint32_t getWord(const unsigned char *at)
{
    uint32_t big;
    memcpy(&big, at, 4);
    return ntohl(big);
}

/* Bytes received and not yet taken: a reply is read with as few calls as it arrived in, the
 * way a buffered RPC client reads, instead of one read for its record mark and one for its body. */
static unsigned char s_in[sizeof s_reply + 4];
static size_t s_inLen = 0;

/* Takes one whole single-fragment record (the server sends no other) into s_reply; returns
 * its length, or -1. */
static int recvRecord(int fd)
{
    for (;;) {
        if (s_inLen >= 4) {
            uint32_t mark = getWord(s_in);
            uint32_t size = mark & 0x7FFFFFFFu;
            if (!(mark & 0x80000000u) || size > sizeof s_reply) {
                fprintf(stderr, "unexpected record mark %08x\n", mark);
                return -1;
            }
            if (s_inLen >= 4 + size) {
                memcpy(s_reply, s_in + 4, size);
                s_inLen -= 4 + size;
                memmove(s_in, s_in + 4 + size, s_inLen);
                return (int)size;
            }
        }
        if (awaitReadableFor(fd, REPLY_TIMEOUT_MS) < 0)
            return -1;
        ssize_t n = recv(fd, s_in + s_inLen, sizeof s_in - s_inLen, 0);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            fprintf(stderr, "connection closed\n");
            return -1;
        }
        s_inLen += (size_t)n;
    }
}

/* One call of the core channel with AUTH_NULL; the result (after the accepted-reply header)
 * lands in s_reply. Returns the result's length, or -1. */
static int call(int fd, uint32_t proc, const unsigned char *args, size_t argsLen)
{
    unsigned char message[8192];
    size_t len = 4;
    len += putWord(message + len, ++s_xid);
    len += putWord(message + len, 0); /* CALL */
    len += putWord(message + len, 2);
    len += putWord(message + len, DEVICE_CORE);
    len += putWord(message + len, 1);
    len += putWord(message + len, proc);
    for (int i = 0; i < 4; ++i)
        len += putWord(message + len, 0); /* empty credential and verifier */
    memcpy(message + len, args, argsLen);
    len += argsLen;
    putWord(message, 0x80000000u | (uint32_t)(len - 4));
    if (sendAll(fd, message, len) != 0)
        return -1;
    int size = recvRecord(fd);
    if (size < 24)
        return -1;
    if (getWord(s_reply) != s_xid || getWord(s_reply + 20) != 0) {
        fprintf(stderr, "procedure %u not accepted\n", proc);
        return -1;
    }
    memmove(s_reply, s_reply + 24, (size_t)size - 24);
    return size - 24;
}

static int query(int fd, uint32_t lid, const char *text, size_t textLen)
{
    unsigned char args[4096];
    size_t len = 0;
    len += putWord(args + len, lid);
    len += putWord(args + len, 2000); /* I/O timeout */
    len += putWord(args + len, 0); /* lock timeout */
    len += putWord(args + len, 8); /* END */
    len += putWord(args + len, (uint32_t)textLen);
    memcpy(args + len, text, textLen);
    len += (textLen + 3) & ~(size_t)3;
    if (call(fd, 11, args, len) < 8 || getWord(s_reply) != 0)
        return -1;
    len = 0;
    len += putWord(args + len, lid);
    len += putWord(args + len, 65536); /* request size */
    len += putWord(args + len, 2000);
    len += putWord(args + len, 0);
    len += putWord(args + len, 0); /* flags */
    len += putWord(args + len, 0); /* term char */
    if (call(fd, 12, args, len) < 12 || getWord(s_reply) != 0 || !(getWord(s_reply + 4) & 4))
        return -1;
    return 0;
}

int main(int argc, char **argv)
{
    const char *host = "127.0.0.1";
    const char *port = "4510";
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
            queries = 0;
            break;
        }
    }
    size_t textLen = strlen(queryText) + 1;
    if (queries < 1 || warmUp < 0 || textLen > 2048) {
        fprintf(
            stderr, "usage: %s -h host [-p port] [-n queries] [-w warm-up] [-q query]\n", argv[0]);
        return 2;
    }
    char text[2049];
    memcpy(text, queryText, textLen - 1);
    text[textLen - 1] = '\n';
    double *rtt = malloc(sizeof(double) * (size_t)queries);
    if (!rtt)
        return 1;

    int fd = connectTo(host, port);
    if (fd < 0)
        return 1;
    unsigned char args[24];
    size_t len = 0;
    len += putWord(args + len, 1); /* client id */
    len += putWord(args + len, 0); /* no lock */
    len += putWord(args + len, 0);
    len += putWord(args + len, 5);
    memcpy(args + len, "inst0\0\0\0", 8);
    if (call(fd, 10, args, len + 8) < 16 || getWord(s_reply) != 0) {
        fprintf(stderr, "create_link failed\n");
        return 1;
    }
    uint32_t lid = getWord(s_reply + 4);
    for (int i = 0; i < warmUp; ++i) {
        if (query(fd, lid, text, textLen) != 0)
            return 1;
    }
    double sum = 0;
    for (int i = 0; i < queries; ++i) {
        double start = nowUs();
        if (query(fd, lid, text, textLen) != 0)
            return 1;
        rtt[i] = nowUs() - start;
        sum += rtt[i];
    }
    close(fd);
    printRtt(rtt, queries, sum);
    free(rtt);
    return 0;
}
