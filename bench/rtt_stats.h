#pragma once
/* The round-trip clients' clock and their one result line:
 *   queries N median_us M p90_us P p99_us Q min_us A max_us B mean_us C */

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double nowUs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec * 1e6 + (double)ts.tv_nsec / 1e3;
}

static int compareDouble(const void *a, const void *b)
{
    double x = *(const double *)a;
    double y = *(const double *)b;
    return (x > y) - (x < y);
}

static double quantile(const double *sorted, int n, double q)
{
    int i = (int)(q * (n - 1) + 0.5);
    return sorted[i];
}

/* Sorts rtt (n round trips in microseconds, adding up to sum) and prints the result line. */
static void printRtt(double *rtt, int n, double sum)
{
    qsort(rtt, (size_t)n, sizeof(double), compareDouble);
    printf("queries %d median_us %.1f p90_us %.1f p99_us %.1f min_us %.1f max_us %.1f "
           "mean_us %.1f\n",
        n,
        quantile(rtt, n, 0.5),
        quantile(rtt, n, 0.9),
        quantile(rtt, n, 0.99),
        rtt[0],
        rtt[n - 1],
        sum / n);
}
