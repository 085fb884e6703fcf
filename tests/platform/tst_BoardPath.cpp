#include "platform/BoardPath.h"

#include <QtTest>

using platform::BoardPath;

class tst_BoardPath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void map_data();
    void map();
    void arguments();
};

void tst_BoardPath::map_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("board") << ""
                           << "/etc/instr/x.info"
                           << "/etc/instr/x.info";
    QTest::newRow("desktop") << "/tmp/r"
                             << "/etc/instr/x.info"
                             << "/tmp/r/etc/instr/x.info";
    QTest::newRow("trailing slash") << "/tmp/r/"
                                    << "/dev/spidev1.0"
                                    << "/tmp/r/dev/spidev1.0";
    QTest::newRow("slash root is the board") << "/"
                                             << "/etc/model"
                                             << "/etc/model";
    QTest::newRow("relative untouched") << "/tmp/r"
                                        << "name.csv"
                                        << "name.csv";
    QTest::newRow("already mapped") << "/tmp/r"
                                    << "/tmp/r/etc/model"
                                    << "/tmp/r/etc/model";
    QTest::newRow("prefix of a sibling") << "/tmp/r"
                                         << "/tmp/rr/x"
                                         << "/tmp/r/tmp/rr/x";
}

void tst_BoardPath::map()
{
    QFETCH(QString, root);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    BoardPath::setRoot(root);
    QCOMPARE(BoardPath::map(path), expected);
}

void tst_BoardPath::arguments()
{
    BoardPath::setRoot("/tmp/r");
    QCOMPARE(BoardPath::mapArguments({ "-t", "/etc/timezone", "x" }),
        QStringList({ "-t", "/tmp/r/etc/timezone", "x" }));
    QCOMPARE(BoardPath::mapArguments({ "bs=512",
                 "if=fw.bin",
                 "of=/run/media/sda/firmware.bin",
                 "--pidfile=/var/run/x.pid",
                 "a=b=/c",
                 "=/d" }),
        QStringList({ "bs=512",
            "if=fw.bin",
            "of=/tmp/r/run/media/sda/firmware.bin",
            "--pidfile=/tmp/r/var/run/x.pid",
            "a=b=/c",
            "=/d" }));
}

QTEST_GUILESS_MAIN(tst_BoardPath)
#include "tst_BoardPath.moc"
