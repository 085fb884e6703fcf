#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOSystErrCue.h"
#include "tests/remote/support/ParserTestDictionary.h"

#include <QtTest>

#include <memory>

using zo4882::ZO4882ParserDelegate;

// Message scripts over the test dictionary: a program message goes in; the answer bytes, the
// error-queue entries ("code detail") and the commands that ran come out.
class tst_ZO4882ParserDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void script_data();
    void script();
    void answerAtTheLimit();
    void abortStopsTheMessage();
    void nextMessageStartsWithEmptyPath();

private:
    QStringList drainErrors();

    parsertest::Sink m_sink;
    std::unique_ptr<ZO4882ParserDelegate> m_parser;
};

void tst_ZO4882ParserDelegate::init()
{
    zo4882::s_systErrCue.clear();
    parsertest::log().clear();
    m_parser = std::make_unique<ZO4882ParserDelegate>(&m_sink);
    m_parser->registerDictionary(parsertest::dictionary(), zo4882::NODE_SOURCE);
    parsertest::setAbortTarget(m_parser.get());
}

void tst_ZO4882ParserDelegate::cleanup()
{
    parsertest::setAbortTarget(nullptr);
    m_parser.reset();
}

QStringList tst_ZO4882ParserDelegate::drainErrors()
{
    QStringList errors;
    while (!zo4882::s_systErrCue.isEmpty()) {
        const zo4882::SYST_ERR_INFO e = zo4882::s_systErrCue.decue();
        errors << (e.detail().isEmpty() ? QString::number(e.code())
                                        : QString::number(e.code()) + ' ' + e.detail());
    }
    return errors;
}

void tst_ZO4882ParserDelegate::script_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<unsigned>("deny");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QStringList>("ran");

    const QByteArray none;
    const QStringList ok;

    // Header path and optional root.
    QTest::newRow("path continues") << QByteArray("SOUR:CURR 1;VOLT 2") << 0u << none << ok
                                    << QStringList { "CURR +1.00000E+00", "VOLT +2.00000E+00" };
    QTest::newRow("path applies the root")
        << QByteArray("SOUR:CURR 1;PROT 2") << 0u << none << QStringList { "-113 SOUR:PROT 2" }
        << QStringList { "CURR +1.00000E+00" };
    QTest::newRow("colon restarts at the root")
        << QByteArray("SOUR:CURR 1;:PROT 2") << 0u << none << ok
        << QStringList { "CURR +1.00000E+00", "PROT +2" };
    QTest::newRow("common command keeps the path")
        << QByteArray("SOUR:CURR 1;*RST;VOLT 2") << 0u << none << ok
        << QStringList { "CURR +1.00000E+00", "*RST", "VOLT +2.00000E+00" };
    QTest::newRow("long root") << QByteArray("source:current:level 1ma") << 0u << none << ok
                               << QStringList { "CURRENT:LEVEL +1.00000E-03" };
    QTest::newRow("root only where allowed")
        << QByteArray("SOUR:PROT 1") << 0u << none << QStringList { "-113 SOUR:PROT 1" } << ok;
    QTest::newRow("path keeps nine nodes")
        << QByteArray("A:B:C:D:E:F:G:H:I:J;K") << 0u << none
        << QStringList { "-113 A:B:C:D:E:F:G:H:I:K" } << QStringList { "A:B:C:D:E:F:G:H:I:J" };
    QTest::newRow("eleven nodes end the message")
        << QByteArray("CURR?;A:B:C:D:E:F:G:H:I:J:K;VOLT?") << 0u << QByteArray("+1.00000E+01\n")
        << QStringList { "-113" } << QStringList { "CURR?" };

    // Answers.
    QTest::newRow("two queries one line")
        << QByteArray("CURR?;VOLT?") << 0u << QByteArray("+1.00000E+01;+2.00000E+01\n") << ok
        << QStringList { "CURR?", "VOLT?" };
    QTest::newRow("items joined by comma")
        << QByteArray("MEAS:VOLT?;CURR?") << 0u << QByteArray("+5.00000E+00,-1;+5.00000E-01\n")
        << ok << QStringList { "MEAS:VOLT?", "MEAS:CURR?" };
    QTest::newRow("setting between queries")
        << QByteArray("*IDN?;*RST;OUTP?") << 0u << QByteArray("ZO,TEST,0,1.0;1\n") << ok
        << QStringList { "*IDN?", "*RST", "OUTP?" };
    QTest::newRow("string doubles quotes")
        << QByteArray("SYST:STR?") << 0u << QByteArray("\"say \"\"hi\"\"\"\n") << ok
        << QStringList { "SYST:STR?" };
    QTest::newRow("block answer raw")
        << QByteArray("SYST:BLK?") << 0u << QByteArray("#40012ab;\ncd,\0ef\"g\n", 19) << ok
        << QStringList { "SYST:BLK?" };
    QTest::newRow("query min/max") << QByteArray("curr? max") << 0u << QByteArray("+1.00000E+01\n")
                                   << ok << QStringList { "CURR? MAX" };
    QTest::newRow("oversized answer dropped whole")
        << QByteArray("CURR?;SYST:BIG? 60000;:VOLT?") << 0u << none
        << QStringList { "-400 SYST:BIG? 60000" }
        << QStringList { "CURR?", "SYST:BIG? +60000", "VOLT?" };

    // Header checks.
    QTest::newRow("12-character node")
        << QByteArray("ABCDEFGHIJKL?") << 0u << none << ok << QStringList { "ABCDEFGHIJKL?" };
    QTest::newRow("13-character node") << QByteArray("ABCDEFGHIJKLM 1") << 0u << none
                                       << QStringList { "-112 ABCDEFGHIJKLM 1" } << ok;
    QTest::newRow("node beyond the path slot")
        << QByteArray("SYST:ABCDEFGHIJKLMNOPQRSTUVWXYZ;:CURR 1") << 0u << none
        << QStringList { "-112 SYST:ABCDEFGHIJKLMNOPQRSTUVWXYZ" }
        << QStringList { "CURR +1.00000E+00" };
    QTest::newRow("bad header character")
        << QByteArray("CU$RR 1") << 0u << none << QStringList { "-103 CU$RR 1" } << ok;
    QTest::newRow("question mark not last")
        << QByteArray("CURR?X") << 0u << none << QStringList { "-103 CURR?X" } << ok;
    QTest::newRow("unknown header")
        << QByteArray("FOO 1;CURR 2") << 0u << none << QStringList { "-113 FOO 1" }
        << QStringList { "CURR +2.00000E+00" };
    QTest::newRow("row without factory")
        << QByteArray("SYST:NOFACT") << 0u << none << QStringList { "-113 SYST:NOFACT" } << ok;
    QTest::newRow("command error without root")
        << QByteArray("SOURCE:FAILR") << 0u << none << QStringList { "-221 FAILR" }
        << QStringList { "FAILR" };
    QTest::newRow("empty units and blanks") << QByteArray(" ;; \tcurr\t2 ;\n") << 0u << none << ok
                                            << QStringList { "CURR +2.00000E+00" };
    QTest::newRow("suffix") << QByteArray("STAT:ISUM12 3") << 0u << none << ok
                            << QStringList { "STAT:ISUM12 +3 #12" };

    // Deny flags.
    QTest::newRow("denied setting")
        << QByteArray("SYST:SECR") << 1u << none << QStringList { "-203 SYST:SECR" } << ok;
    QTest::newRow("query never denied")
        << QByteArray("SYST:SECR?") << 1u << none << ok << QStringList { "SYST:SECR?" };
    QTest::newRow("other class allowed")
        << QByteArray("SYST:SECR") << 2u << none << ok << QStringList { "SYST:SECR" };

    // Parameters.
    QTest::newRow("too few") << QByteArray("CURR") << 0u << none << QStringList { "-109 CURR" }
                             << ok;
    QTest::newRow("too many") << QByteArray("CURR 1,2") << 0u << none
                              << QStringList { "-108 CURR 1,2" } << ok;
    QTest::newRow("twelve parameters")
        << QByteArray("SYST:ARGS 1,2,3,4,5,6,7,8,9,10,11,12") << 0u << none << ok
        << QStringList { "SYST:ARGS +1 +2 +3 +4 +5 +6 +7 +8 +9 +10 +11 +12" };
    QTest::newRow("thirteen parameters")
        << QByteArray("SYST:ARGS 1,2,3,4,5,6,7,8,9,10,11,12,13") << 0u << none
        << QStringList { "-108 SYST:ARGS 1,2,3,4,5,6,7,8,9,10,11,12,13" } << ok;
    QTest::newRow("blank before comma without unit") << QByteArray("SYST:PAIR 1 ,2") << 0u << none
                                                     << QStringList { "-138 SYST:PAIR 1 ,2" } << ok;
    QTest::newRow("blank after comma skipped") << QByteArray("SYST:PAIR 1, 2mv") << 0u << none << ok
                                               << QStringList { "SYST:PAIR +1 +2.00000E-03" };
    QTest::newRow("blank before suffix") << QByteArray("SYST:PAIR 1,2 V") << 0u << none
                                         << QStringList { "-131 SYST:PAIR 1,2 V" } << ok;
    QTest::newRow("quotes keep case and separators") << QByteArray(
        "syst:args 'a;B,c',abc") << 0u << none << ok << QStringList { "SYST:ARGS \"a;B,c\" ABC" };
    QTest::newRow("block keeps separators and newline")
        << QByteArray("SYST:ARGS #15a;\nbc,x;:CURR 1") << 0u << none << ok
        << QStringList { "SYST:ARGS a;\nbc X", "CURR +1.00000E+00" };
    QTest::newRow("incomplete block") << QByteArray("SYST:ARGS #19ab") << 0u << none
                                      << QStringList { "-161 SYST:ARGS #19ab" } << ok;
    QTest::newRow("beyond the number range")
        << QByteArray("CURR 1E38") << 0u << none << QStringList { "-222 CURR 1E38" } << ok;

    // Channel lists.
    QTest::newRow("channel range")
        << QByteArray("OUTP ON,(@1:3)") << 0u << none << ok << QStringList { "OUTP 1 @e" };
    QTest::newRow("channel list alone")
        << QByteArray("OUTP (@2)") << 0u << none << ok << QStringList { "OUTP @4" };
    QTest::newRow("two channel lists")
        << QByteArray("OUTP 0,(@1),(@3)") << 0u << none << ok << QStringList { "OUTP +0 @a" };
    QTest::newRow("descending channels") << QByteArray("OUTP ON,(@3,1)") << 0u << none
                                         << QStringList { "-171 OUTP ON,(@3,1)" } << ok;
    QTest::newRow("channel zero") << QByteArray("OUTP (@0)") << 0u << none
                                  << QStringList { "-171 OUTP (@0)" } << ok;
    QTest::newRow("channel list bad character")
        << QByteArray("OUTP (@1;2)") << 0u << none << QStringList { "-171 OUTP (@1;2)" } << ok;
    QTest::newRow("channel list empty")
        << QByteArray("OUTP (@)") << 0u << none << QStringList { "-171 OUTP (@)" } << ok;
    QTest::newRow("missing channel")
        << QByteArray("OUTP (@4)") << 0u << none << QStringList { "-241 OUTP (@4)" } << ok;
    QTest::newRow("huge channel range") << QByteArray("OUTP (@1:4000000000)") << 0u << none
                                        << QStringList { "-241 OUTP (@1:4000000000)" } << ok;
    QTest::newRow("channel without bit")
        << QByteArray("OUTP (@40)") << 0u << none << QStringList { "-241 OUTP (@40)" } << ok;
    QTest::newRow("channel list where none taken")
        << QByteArray("CURR (@1)") << 0u << none << QStringList { "-224 CURR (@1)" } << ok;

    // Unit count and work buffer.
    QByteArray units;
    QStringList resets;
    for (int i = 0; i < 37; ++i) {
        units += "*RST;";
        if (i < 36)
            resets << "*RST";
    }
    QTest::newRow("37 units") << units << 0u << none << QStringList { "-113" } << resets;
    const QByteArray filler(4090, '1');
    QTest::newRow("expanded unit beyond the work buffer")
        << (QByteArray("SOUR:CURR 1;VOLT ") + filler + ";CURR 2") << 0u << none
        << QStringList { "-113 " + QString::fromLatin1("VOLT " + filler).left(255) }
        << QStringList { "CURR +1.00000E+00", "CURR +2.00000E+00" };
}

void tst_ZO4882ParserDelegate::script()
{
    QFETCH(QByteArray, message);
    QFETCH(unsigned, deny);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, errors);
    QFETCH(QStringList, ran);

    const int n = m_parser->parse(zo4882::INTF_SOCKET, message.constData(), message.size(), deny);
    QCOMPARE(QByteArray(m_parser->response(), n), answer);
    const QStringList queued = drainErrors();
    QCOMPARE(parsertest::log(), ran);
    QCOMPARE(queued, errors);
}

// The largest answer the response buffer carries is 0xBFFF bytes with its newline; one more
// byte of data drops it whole.
void tst_ZO4882ParserDelegate::answerAtTheLimit()
{
    const int header = 8; // "#6" and six length digits
    const int fits = ZO4882ParserDelegate::RESPONSE_SIZE - 1 - header - 1;
    QByteArray message = "SYST:BIG? " + QByteArray::number(fits);
    int n = m_parser->parse(zo4882::INTF_SOCKET, message.constData(), message.size(), 0);
    QCOMPARE(n, ZO4882ParserDelegate::RESPONSE_SIZE - 1);
    QCOMPARE(QByteArray(m_parser->response(), header), "#60" + QByteArray::number(fits));
    QCOMPARE(m_parser->response()[n - 1], '\n');
    QVERIFY(drainErrors().isEmpty());

    message = "SYST:BIG? " + QByteArray::number(fits + 1);
    n = m_parser->parse(zo4882::INTF_SOCKET, message.constData(), message.size(), 0);
    QCOMPARE(n, 0);
    QCOMPARE(drainErrors(), QStringList { "-400 " + QString::fromLatin1(message) });
}

void tst_ZO4882ParserDelegate::abortStopsTheMessage()
{
    const QByteArray message = "CURR?;SYST:ABORT;VOLT?";
    const int n = m_parser->parse(zo4882::INTF_SOCKET, message.constData(), message.size(), 0);
    QCOMPARE(n, 0);
    QCOMPARE(parsertest::log(), (QStringList { "CURR?", "SYST:ABORT" }));
    QVERIFY(drainErrors().isEmpty());
}

void tst_ZO4882ParserDelegate::nextMessageStartsWithEmptyPath()
{
    QByteArray message = "SOUR:CURR 1";
    m_parser->parse(zo4882::INTF_SOCKET, message.constData(), message.size(), 0);
    message = "PROT 2";
    m_parser->parse(zo4882::INTF_SOCKET, message.constData(), message.size(), 0);
    QCOMPARE(parsertest::log(), (QStringList { "CURR +1.00000E+00", "PROT +2" }));
    QVERIFY(drainErrors().isEmpty());
}

QTEST_GUILESS_MAIN(tst_ZO4882ParserDelegate)
#include "tst_ZO4882ParserDelegate.moc"
