#pragma once

#include <QString>

class QTextStream;

// The flash commands' two text streams: progress and results to standard output, problems to
// standard error, each write flushed at once (progress dots have no line end). Main thread
// only. Tests redirect both to their own streams.
class Console
{
public:
    Console() = delete;

    // Text without a line end (progress).
    static void print(const QString &text);
    static void printLine(const QString &text);
    static void errorLine(const QString &text);
    // Ends a line of progress, when one is open, before an error line or the end of a run.
    static void endProgress();

    // Both null: the process's own streams again. The streams must outlive the redirection.
    static void redirect(QTextStream *out, QTextStream *err);
};
