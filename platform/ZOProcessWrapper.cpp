#include "platform/ZOProcessWrapper.h"

#include "platform/ChildProcess.h"

namespace zostd {

namespace {

QString lineText(const QByteArray &bytes, int from, int end)
{
    if (end > from && bytes.at(end - 1) == '\r')
        --end;
    return QString::fromUtf8(bytes.constData() + from, end - from);
}

} // namespace

ZOProcessWrapper::ZOProcessWrapper()
    : QProcess(nullptr)
{
    connect(this, &QProcess::readyReadStandardOutput, this, &ZOProcessWrapper::splitLinesStdOutput);
    connect(this, &QProcess::readyReadStandardError, this, &ZOProcessWrapper::splitLinesStdError);
    connect(this, &QProcess::started, this, &ZOProcessWrapper::onStart);
    connect(this,
        QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
        this,
        &ZOProcessWrapper::onFinish);
}

ZOProcessWrapper::~ZOProcessWrapper()
{
    // QProcess's own destructor would announce the end to the slots of a half-destroyed object.
    disconnect(this, nullptr, this, nullptr);
    if (state() != QProcess::NotRunning) {
        kill();
        waitForFinished(1000);
    }
}

int ZOProcessWrapper::startProgram(const QString &boardProgram,
    const QStringList &arguments,
    platform::ChildProcess::Arguments mapping)
{
    const int rc = platform::ChildProcess::prepare(this, boardProgram, arguments, mapping);
    if (rc != 0)
        return rc;
    m_outTail.clear();
    m_errTail.clear();
    start(QIODevice::ReadOnly);
    return 0;
}

void ZOProcessWrapper::onStart()
{
    emit progStarted();
}

void ZOProcessWrapper::onFinish(int exitcode, QProcess::ExitStatus exitstatus)
{
    Q_UNUSED(exitcode);
    Q_UNUSED(exitstatus);
    // Output QProcess still holds arrives before finished(); what is left is the last line of
    // each channel that had no line end.
    if (!m_outTail.isEmpty() || !m_errTail.isEmpty()) {
        m_lines.clear();
        for (QByteArray *tail : { &m_outTail, &m_errTail }) {
            if (!tail->isEmpty())
                m_lines.append(lineText(*tail, 0, tail->size()));
            tail->clear();
        }
        emit readyReadLines();
    }
    emit progFinished();
}

void ZOProcessWrapper::splitLinesStdOutput()
{
    splitChunk(m_outTail, readAllStandardOutput());
}

void ZOProcessWrapper::splitLinesStdError()
{
    splitChunk(m_errTail, readAllStandardError());
}

void ZOProcessWrapper::splitChunk(QByteArray &tail, const QByteArray &bytes)
{
    const QByteArray text = tail + bytes;
    QStringList lines;
    int from = 0;
    for (int end = text.indexOf('\n'); end >= 0; end = text.indexOf('\n', from)) {
        lines.append(lineText(text, from, end));
        from = end + 1;
    }
    tail = text.mid(from);
    // A chunk without a line end completes no line: the list of the last one stays.
    if (lines.isEmpty())
        return;
    m_lines = lines;
    emit readyReadLines();
}

} // namespace zostd
