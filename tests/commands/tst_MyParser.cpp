#include "commands/AdminMode.h"
#include "commands/InstrumentCommonRows.h"
#include "commands/MyParser.h"
#include "engine/Source.h"
#include "platform/BoardPath.h"
#include "remote/StatusRegisters.h"
#include "remote/ZODictIndex.h"
#include "remote/ZOSystErrCue.h"
#include "tests/remote/support/RecordingResponder.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace zo4882;

namespace {

// CAL:SAVE stands for the administrator-only rows, SYST:LOCK for a row of another deny class.
class Protected : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *) const override { return 0; }
    short OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const override
    {
        *answer = new ZOCmdArg(5, ZOCmdArg::KIND_INT);
        return 0;
    }
};

// REQ waits for an engine request that is never answered, as a handler whose slot is stuck.
std::atomic<vek::Source *> s_requestSource { nullptr };
std::atomic<int> s_requestResult { 1 };
std::atomic<bool> s_requestWaiting { false };

class Request : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *) const override
    {
        s_requestResult = s_requestSource.load()->runRequest([] {
            s_requestWaiting = true;
        });
        return 0;
    }
};

ZO_SCPI_DICT_ENTRY denied(
    const char *pattern, unsigned denyClass, const char *first, const char *second)
{
    ZO_SCPI_DICT_ENTRY r = rows::row(
        "Protected", rows::factory<Protected>(), rows::noArgs, nullptr, first, second, pattern);
    r.denyClass = denyClass;
    return r;
}

ZO_SCPI_DICT_ENTRY s_dict[] = {
    rows::opc(),
    instrumentrows::opt(),
    rows::tst(),
    denied("^CAL(IBRATE)?:SAVE?\\??$", MyParser::DenyAdministrator, "C", "A"),
    rows::systErr(),
    denied("^SYST:LOCK$", 2, "S", "Y"),
    rows::row("Request", rows::factory<Request>(), rows::noArgs, nullptr, "R", "E", "^REQ$"),
    instrumentrows::systPassCdis(),
    instrumentrows::systPassCen(),
    instrumentrows::systPassCenStat(),
};

const IDictIndex *dictionary()
{
    static const ZODictIndex<int(sizeof(s_dict) / sizeof(s_dict[0]))> index(s_dict);
    return &index;
}

} // namespace

// The instrument parser as the start-up builds it: administrator-only settings denied until the
// password enables them, the error numbers of refused settings and the watchdog hook.
class tst_MyParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void administratorCommands_data();
    void administratorCommands();
    void otherDenyClassIsASettingsConflict();
    void watchdogTripsTheSourceOnce();
    void optionsWithoutModel();
    void stopEndsAWaitingEngineRequest();

private:
    // Sends each message and waits for its answer (a query) or for the parser to be idle.
    QByteArrayList send(const QByteArrayList &messages);
    QStringList drainErrors();

    QTemporaryDir m_root;
    std::atomic<int> m_trips { 0 };
    std::unique_ptr<MyParser> m_parser;
    std::unique_ptr<RecordingResponder> m_responder;
};

void tst_MyParser::initTestCase()
{
    QVERIFY(m_root.isValid());
    platform::BoardPath::setRoot(m_root.path());
    QVERIFY(QDir().mkpath(m_root.filePath("etc/instr")));
}

void tst_MyParser::init()
{
    init4882();
    s_systErrCue.clear();
    AdminMode::setOn(false);
    m_trips = 0;
    m_responder = std::make_unique<RecordingResponder>();
    m_parser = std::make_unique<MyParser>(
        dictionary(),
        [this] {
            ++m_trips;
        },
        10);
    m_parser->resetAndSetDenyFlags(0, MyParser::DenyAdministrator);
}

void tst_MyParser::cleanup()
{
    m_parser.reset();
    m_responder.reset();
}

QByteArrayList tst_MyParser::send(const QByteArrayList &messages)
{
    for (const QByteArray &m : messages)
        m_parser->post(
            createScpiMessage(m.constData(), m.size(), 0, INTF_SOCKET, nullptr, m_responder.get()));
    // A last message marks the end: its answer comes after every other, and no message of a
    // test answers "0;1" (a lone "0" is also what SYST:PASS:STAT? answers).
    const QByteArray end("*TST?;*OPC?");
    m_parser->post(
        createScpiMessage(end.constData(), end.size(), 0, INTF_SOCKET, nullptr, m_responder.get()));
    if (!QTest::qWaitFor(
            [this] {
                return !m_responder->answers.isEmpty() && m_responder->answers.last() == "0;1\n";
            },
            5000))
        return { "timeout" };
    QByteArrayList answers = m_responder->answers;
    answers.removeLast();
    m_responder->answers.clear();
    return answers;
}

QStringList tst_MyParser::drainErrors()
{
    QStringList errors;
    while (!s_systErrCue.isEmpty()) {
        const SYST_ERR_INFO e = s_systErrCue.decue();
        errors << QString::number(e.code()) + ' ' + e.detail();
    }
    return errors;
}

void tst_MyParser::administratorCommands_data()
{
    QTest::addColumn<QByteArray>("passwordFile"); // null: no file
    QTest::addColumn<QByteArrayList>("messages");
    QTest::addColumn<QByteArrayList>("answers");
    QTest::addColumn<QStringList>("errors");

    const QByteArray stored(" Secret-1\n");
    QTest::newRow("denied until enabled")
        << stored << QByteArrayList { "CAL:SAVE", "CALIBRATE:SAV?" } << QByteArrayList { "+5\n" }
        << QStringList { "-203 CAL:SAVE" };
    QTest::newRow("refusal text") << stored << QByteArrayList { "CAL:SAVE;:SYST:ERR?" }
                                  << QByteArrayList { "-203,\"Command protected;CAL:SAVE\"\n" }
                                  << QStringList();
    QTest::newRow("wrong password")
        << stored << QByteArrayList { "SYST:PASS \"secret-1\"", "CAL:SAVE", "SYST:PASS:STAT?" }
        << QByteArrayList { "0\n" }
        << QStringList { "108 SYST:PASS \"secret-1\"", "-203 CAL:SAVE" };
    QTest::newRow("enabled from the next unit")
        << stored << QByteArrayList { "SYST:PASS 'Secret-1';:CAL:SAVE;:SYST:PASS:CEN:STAT?" }
        << QByteArrayList { "1\n" } << QStringList();
    QTest::newRow("enabled for later messages")
        << stored << QByteArrayList { "SYSTEM:PASSWORD:CENABLE \"Secret-1\"", "CAL:SAVE" }
        << QByteArrayList() << QStringList();
    QTest::newRow("disabled again") << stored
                                    << QByteArrayList { "SYST:PASS \"Secret-1\"",
                                           "SYST:PASS:CDIS \"Secret-1\";:CAL:SAVE",
                                           "SYST:PASS:STAT?" }
                                    << QByteArrayList { "0\n" } << QStringList { "-203 CAL:SAVE" };
    QTest::newRow("disable needs the password")
        << stored << QByteArrayList { "SYST:PASS \"Secret-1\"", "SYST:PASS:CDIS \"x\"", "CAL:SAVE" }
        << QByteArrayList() << QStringList { "108 SYST:PASS:CDIS \"x\"" };
    // Without a stored password nobody becomes administrator, not even with "".
    QTest::newRow("no password file")
        << QByteArray() << QByteArrayList { "SYST:PASS \"\"", "CAL:SAVE", "SYST:PASS:STAT?" }
        << QByteArrayList { "0\n" }
        << QStringList { "-310 Password file: No such file or directory",
               "108 SYST:PASS \"\"",
               "-203 CAL:SAVE" };
    QTest::newRow("empty password file")
        << QByteArray("") << QByteArrayList { "SYST:PASS ''", "SYST:PASS:STAT?" }
        << QByteArrayList { "0\n" } << QStringList { "108 SYST:PASS ''" };
    QTest::newRow("blank password file")
        << QByteArray(" \n\0Secret-1", 12) << QByteArrayList { "SYST:PASS \"\"", "SYST:PASS:STAT?" }
        << QByteArrayList { "0\n" } << QStringList { "108 SYST:PASS \"\"" };
    QTest::newRow("no password file, disable")
        << QByteArray() << QByteArrayList { "SYST:PASS:CDIS \"\"" } << QByteArrayList()
        << QStringList { "-310 Password file: No such file or directory",
               "108 SYST:PASS:CDIS \"\"" };
}

void tst_MyParser::administratorCommands()
{
    QFETCH(QByteArray, passwordFile);
    QFETCH(QByteArrayList, messages);
    QFETCH(QByteArrayList, answers);
    QFETCH(QStringList, errors);

    QFile file(platform::BoardPath::map(QString::fromLatin1(AdminMode::PasswordPath)));
    if (passwordFile.isNull()) {
        QVERIFY(!file.exists() || file.remove());
    } else {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(passwordFile), passwordFile.size());
        file.close();
    }
    QCOMPARE(send(messages), answers);
    QCOMPARE(drainErrors(), errors);
}

void tst_MyParser::otherDenyClassIsASettingsConflict()
{
    m_parser->resetAndSetDenyFlags(0, 2);
    QCOMPARE(send({ "SYST:LOCK" }), QByteArrayList());
    QCOMPARE(drainErrors(), QStringList { "-221 SYST:LOCK" });
}

void tst_MyParser::watchdogTripsTheSourceOnce()
{
    m_parser->setWatchDog(30);
    QTRY_COMPARE_WITH_TIMEOUT(m_trips.load(), 1, 5000);
    m_parser->recoverWatchDog();
    QTRY_COMPARE_WITH_TIMEOUT(m_trips.load(), 2, 5000);
    QVERIFY(m_parser->watchDogFired());
}

void tst_MyParser::optionsWithoutModel()
{
    QCOMPARE(send({ "*OPT?" }), QByteArrayList { "0\n" });
}

// Shutting down must not hang on a message whose handler waits for the engine's answer.
void tst_MyParser::stopEndsAWaitingEngineRequest()
{
    vek::Source source(nullptr, nullptr, nullptr, nullptr);
    s_requestSource = &source;
    s_requestWaiting = false;
    const QByteArray request("REQ");
    m_parser->post(createScpiMessage(
        request.constData(), request.size(), 0, INTF_SOCKET, nullptr, m_responder.get()));
    QTRY_VERIFY(s_requestWaiting.load());
    m_parser.reset();
    QCOMPARE(s_requestResult.load(), int(vek::Error::ExecutionError));
    s_requestSource = nullptr;
}

QTEST_GUILESS_MAIN(tst_MyParser)
#include "tst_MyParser.moc"
