#pragma once
// The parsing benchmarks' input: many newline-terminated messages in one receive buffer, cut
// into messages by the library's splitter (16 at a time) as a transport cuts them.

#include "remote/ZOMessageSplitter.h"

#include <QByteArray>
#include <QElapsedTimer>

namespace benchstream {

// `messages` lines, taken from mix in turn.
template <int N> QByteArray makeStream(const char *const (&mix)[N], int messages)
{
    QByteArray stream;
    for (int i = 0; i < messages; ++i) {
        stream += mix[i % N];
        stream += '\n';
    }
    return stream;
}

// Nanoseconds for `repetitions` passes over stream: each(text, length) for every message, then
// afterPass() after every pass.
template <typename Each, typename AfterPass>
qint64 run(const QByteArray &stream, int repetitions, Each each, AfterPass afterPass)
{
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < repetitions; ++r) {
        QByteArray buffer = stream;
        char *at = buffer.data();
        int left = buffer.size();
        for (;;) {
            zo4882::PARSER_SPLITTED_PACK pack;
            const int n = zo4882::ZOMessageSplitter::split(at, left, false, &pack);
            if (n == 0)
                break;
            for (int i = 0; i < n; ++i)
                each(pack.messages[i], pack.lengths[i]);
            at = pack.rest;
            left = pack.restLength;
        }
        afterPass();
    }
    return timer.nsecsElapsed();
}

template <typename Each> qint64 run(const QByteArray &stream, int repetitions, Each each)
{
    return run(stream, repetitions, each, [] {});
}

} // namespace benchstream
