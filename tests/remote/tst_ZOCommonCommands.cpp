#include "remote/IModelInfo.h"
#include "remote/StatusRegisters.h"
#include "remote/ZO4882Opc.h"
#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOSystErrCue.h"
#include "tests/remote/support/FakePreferences.h"
#include "tests/remote/support/ParserTestDictionary.h"
#include "tests/remote/support/StandardTestDictionary.h"

#include <QtTest>

#include <memory>

using namespace zo4882;

namespace {

class FakeModel : public zostd::IModelInfo
{
public:
    QString manufacturer;
    QString model;
    QString getManufacturer() const override { return manufacturer; }
    QString getModel() const override { return model; }
    QString getSerial() const override { return QStringLiteral("SN0001"); }
    QString getRevision() const override { return QStringLiteral("1.02"); }
    QString getProductDescription() const override { return QString(); }
    QString getIviDriverIdentifier() const override { return QString(); }
    quint16 getUsbVID() const override { return 0; }
    quint16 getUsbPID() const override { return 0; }
    QString getHwAdr() const override { return QString(); }
};

} // namespace

// Message scripts of the IEEE 488.2 common commands and the STATus and SYSTem:ERRor commands
// through the parse delegate: message in, answer and error-queue entries out.
class tst_ZOCommonCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void script_data();
    void script();
    void preferencesKeepTheEnables();
    void questionableEventClearsItsSummaryBit();
    void enableIsMaskedWithTheValidBits();
    void identificationIsBuiltOnceInLatin1();

private:
    QByteArray run(const QByteArray &message, unsigned deny = 0);
    QStringList drainErrors();

    parsertest::Sink m_sink;
    std::unique_ptr<ZO4882ParserDelegate> m_parser;
    std::unique_ptr<FakePreferences> m_preferences;
};

void tst_ZOCommonCommands::init()
{
    init4882();
    s_systErrCue.clear();
    s_opc.reset();
    m_preferences = std::make_unique<FakePreferences>();
    m_parser = std::make_unique<ZO4882ParserDelegate>(&m_sink);
    m_parser->registerDictionary(standardtest::dictionary(), NODE_SOURCE);
}

void tst_ZOCommonCommands::cleanup()
{
    m_parser.reset();
    m_preferences.reset();
}

QByteArray tst_ZOCommonCommands::run(const QByteArray &message, unsigned deny)
{
    const int n = m_parser->parse(INTF_SOCKET, message.constData(), message.size(), deny);
    return QByteArray(m_parser->response(), n);
}

QStringList tst_ZOCommonCommands::drainErrors()
{
    QStringList errors;
    while (!s_systErrCue.isEmpty()) {
        const SYST_ERR_INFO e = s_systErrCue.decue();
        errors << (QString::number(e.code()) + ' ' + e.detail()).trimmed();
    }
    return errors;
}

void tst_ZOCommonCommands::script_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<unsigned>("deny");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("errors");

    const QStringList ok;

    // Enable registers.
    QTest::newRow("*ESE out of range") << QByteArray("*ESE 256;*ESE?") << 0u << QByteArray("+0\n")
                                       << QStringList { "-222 *ESE 256" };
    QTest::newRow("*ESE negative")
        << QByteArray("*ESE -1") << 0u << QByteArray() << QStringList { "-222 *ESE -1" };
    QTest::newRow("*ESE 255") << QByteArray("*ESE 255;*ESE?") << 0u << QByteArray("+255\n") << ok;
    QTest::newRow("*ESE rounds") << QByteArray("*ESE 254.5;*ESE?") << 0u << QByteArray("+255\n")
                                 << ok;
    QTest::newRow("*SRE out of range") << QByteArray("*SRE 255.5;*SRE?") << 0u << QByteArray("+0\n")
                                       << QStringList { "-222 *SRE 255.5" };
    QTest::newRow("*SRE 48") << QByteArray("*SRE 48;*SRE?") << 0u << QByteArray("+48\n") << ok;

    // Status byte and standard event status.
    QTest::newRow("*STB? with nothing set")
        << QByteArray("*SRE 0;*STB?") << 0u << QByteArray("+16\n") << ok;
    QTest::newRow("*STB? error, event summary and service request") << QByteArray(
        "*SRE 32;*ESE 32;FOO;*STB?") << 0u << QByteArray("+116\n") << QStringList { "-113 FOO" };
    QTest::newRow("*ESR? reads and clears") << QByteArray("FOO;*ESR?;*ESR?") << 0u
                                            << QByteArray("+32;+0\n") << QStringList { "-113 FOO" };
    QTest::newRow("*OPC with nothing pending")
        << QByteArray("*OPC;*ESR?") << 0u << QByteArray("+1\n") << ok;
    QTest::newRow("*OPC? with nothing pending")
        << QByteArray("*OPC?;*WAI;*OPC?") << 0u << QByteArray("1;1\n") << ok;
    QTest::newRow("*CLS") << QByteArray("FOO;*OPC;*CLS;:SYST:ERR:COUN?;*ESR?;*STB?") << 0u
                          << QByteArray("+0;+0;+16\n") << ok;

    // Fixed answers, and the commands whose work the library leaves to the instrument.
    QTest::newRow("*OPT? *TST?") << QByteArray("*OPT?;*TST?") << 0u << QByteArray("0;0\n") << ok;
    const QString notAvailable = QStringLiteral("-200 not available");
    QTest::newRow("commands not built answer an error")
        << QByteArray("*RST;*RCL 1;*SAV 1;*TRG;*WAI") << 0u << QByteArray()
        << QStringList { notAvailable, notAvailable, notAvailable, notAvailable };
    QTest::newRow("*OPT has no setting form")
        << QByteArray("*OPT") << 0u << QByteArray() << QStringList { "-113 *OPT" };
    QTest::newRow("*RST has no query form")
        << QByteArray("*RST?") << 0u << QByteArray() << QStringList { "-113 *RST?" };
    QTest::newRow("SYST:VERS?") << QByteArray("SYSTEM:VERSION?") << 0u << QByteArray("1999.0\n")
                                << ok;

    // Power-on status clear.
    QTest::newRow("*PSC 1") << QByteArray("*PSC 1;*PSC?") << 0u << QByteArray("1\n") << ok;
    QTest::newRow("*PSC OFF") << QByteArray("*PSC 1;*PSC OFF;*PSC?") << 0u << QByteArray("0\n")
                              << ok;
    QTest::newRow("*PSC 256 is not zero")
        << QByteArray("*PSC 256;*PSC?") << 0u << QByteArray("1\n") << ok;
    QTest::newRow("*PSC keyword") << QByteArray("*PSC MAYBE") << 0u << QByteArray()
                                  << QStringList { "-224 *PSC MAYBE" };

    // Error queue.
    QTest::newRow("SYST:ERR? empty") << QByteArray("SYST:ERR?;:SYST:ERR:COUN?") << 0u
                                     << QByteArray("+0,\"No error\";+0\n") << ok;
    QTest::newRow("SYST:ERR? entry with detail")
        << QByteArray("CURR 5;:SYST:ERR:COUN?;:SYST:ERR?;:SYST:ERR:NEXT?") << 0u
        << QByteArray("+1;-222,\"Data out of range;CURR 5\";+0,\"No error\"\n") << ok;
    QTest::newRow("SYST:ERR? doubles quotes")
        << QByteArray("FOO \"x\";:SYST:ERR?") << 0u
        << QByteArray("-113,\"Undefined header;FOO \"\"x\"\"\"\n") << ok;

    // STATus registers.
    QTest::newRow("STAT:OPER:ENAB 65535")
        << QByteArray("STAT:OPER:ENAB 65535;ENAB?") << 0u << QByteArray("+65535\n") << ok;
    QTest::newRow("STAT:OPER:ENAB out of range")
        << QByteArray("STAT:OPER:ENAB 65536;ENAB -1;ENAB?") << 0u << QByteArray("+0\n")
        << QStringList { "-222 STAT:OPER:ENAB 65536", "-222 STAT:OPER:ENAB -1" };
    QTest::newRow("STAT filters and condition")
        << QByteArray("STATUS:QUESTIONABLE:PTRANSITION 3;PTR?;NTR 5;NTR?;COND?") << 0u
        << QByteArray("+3;+5;+0\n") << ok;
    QTest::newRow("STAT:PRES") << QByteArray(
        "STAT:OPER:ENAB 7;NTR 9;PTR 1;:STAT:PRES;:STAT:OPER:ENAB?;PTR?;NTR?")
                               << 0u << QByteArray("+0;+65535;+0\n") << ok;
    QTest::newRow("STAT event query forms")
        << QByteArray("STAT:OPER?;:STAT:OPER:EVEN?;:STAT:QUES:EVENT?") << 0u
        << QByteArray("+0;+0;+0\n") << ok;
    QTest::newRow("STAT instrument register")
        << QByteArray("STAT:QUES:INST:ENAB 70000;ENAB?") << 0u << QByteArray("+4464\n") << ok;
    QTest::newRow("STAT instrument summary")
        << QByteArray("STAT:OPER:INST:ISUM2:PTR 3;PTR?") << 0u << QByteArray("+3\n") << ok;
    QTest::newRow("STAT instrument summary suffix")
        << QByteArray("STAT:OPER:INST:ISUM4?;:STAT:OPER:INST:ISUM0:ENAB 1") << 0u << QByteArray()
        << QStringList { "-131 STAT:OPER:INST:ISUM4?", "-131 STAT:OPER:INST:ISUM0:ENAB 1" };
    QTest::newRow("STAT without a group")
        << QByteArray("STAT:FOO:INST?;:STAT:FOO:INST:ISUM1:ENAB 1") << 0u << QByteArray()
        << QStringList { "-113 STAT:FOO:INST?", "-113 STAT:FOO:INST:ISUM1:ENAB 1" };
    QTest::newRow("STAT setting of a read-only part") << QByteArray(
        "STAT:OPER:INST 1") << 0u << QByteArray() << QStringList { "-113 STAT:OPER:INST 1" };

    // Deny flags.
    QTest::newRow("denied setting")
        << QByteArray("ADMIN;ADMIN?") << 1u << QByteArray("+7\n") << QStringList { "-203 ADMIN" };
}

void tst_ZOCommonCommands::script()
{
    QFETCH(QByteArray, message);
    QFETCH(unsigned, deny);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, errors);

    QCOMPARE(run(message, deny), answer);
    QCOMPARE(drainErrors(), errors);
}

void tst_ZOCommonCommands::preferencesKeepTheEnables()
{
    run("*ESE 36;*SRE 129;*PSC 1");
    QCOMPARE(int(m_preferences->getESE()), 36);
    QCOMPARE(int(m_preferences->getSRE()), 129);
    QVERIFY(m_preferences->getPSC());

    // Refused values reach neither the register nor the preferences.
    run("*ESE 300;*SRE -4");
    QCOMPARE(int(m_preferences->getESE()), 36);
    QCOMPARE(int(m_preferences->getSRE()), 129);
    QCOMPARE(run("*ESE?;*SRE?"), QByteArray("+36;+129\n"));
    drainErrors();

    // Without preferences the registers still work.
    m_preferences.reset();
    QCOMPARE(run("*ESE 4;*ESE?;*PSC?"), QByteArray("+4;0\n"));
    QVERIFY(drainErrors().isEmpty());
}

void tst_ZOCommonCommands::questionableEventClearsItsSummaryBit()
{
    run("STAT:QUES:ENAB 16");
    s_statQues.setCondition(0x10, 1);
    QCOMPARE(run("*STB?"), QByteArray("+24\n"));
    QCOMPARE(run("STAT:QUES?;:STAT:QUES?;*STB?"), QByteArray("+16;+0;+16\n"));
    // The condition stays while the event is gone.
    QCOMPARE(run("STAT:QUES:COND?"), QByteArray("+16\n"));
    QVERIFY(drainErrors().isEmpty());
}

void tst_ZOCommonCommands::enableIsMaskedWithTheValidBits()
{
    s_statOper.setValidMask(0x7FFF);
    QCOMPARE(run("STAT:OPER:ENAB 65535;ENAB?"), QByteArray("+32767\n"));
    s_statOper.setCondition(short(0x4000), 1);
    QCOMPARE(run("STAT:OPER:COND?;EVEN?"), QByteArray("+16384;+16384\n"));
    QVERIFY(drainErrors().isEmpty());
}

void tst_ZOCommonCommands::identificationIsBuiltOnceInLatin1()
{
    FakeModel model;
    model.manufacturer = QString::fromUtf8("Zöller");
    model.model = QStringLiteral("VEK3R");
    zostd::setInterface_IModelInfo(&model);
    QCOMPARE(run("*IDN?"), QByteArray("Z\xF6ller,VEK3R,SN0001,1.02\n"));
    model.model = QStringLiteral("OTHER");
    QCOMPARE(run("*IDN?"), QByteArray("Z\xF6ller,VEK3R,SN0001,1.02\n"));
    zostd::setInterface_IModelInfo(nullptr);
    QVERIFY(drainErrors().isEmpty());
}

QTEST_GUILESS_MAIN(tst_ZOCommonCommands)
#include "tst_ZOCommonCommands.moc"
