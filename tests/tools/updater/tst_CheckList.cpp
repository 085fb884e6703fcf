// The check lists of an update medium: which lists are taken, and the MD5 comparison.

#include "tools/updater/CheckList.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using updater::CheckList;

class tst_CheckList : public QObject
{
    Q_OBJECT

private slots:
    void checkLists_data();
    void checkLists();
    void verify_data();
    void verify();
};

void tst_CheckList::checkLists_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("name"); // empty: refused
    const QByteArray hex("0123456789abcdef0123456789ABCDEF");
    QTest::newRow("text mode") << hex + "  Update.img\n"
                               << "Update.img";
    QTest::newRow("binary mode, CRLF, blank lines") << "\n" + hex + " *Update.img\r\n\n"
                                                    << "Update.img";
    QTest::newRow("name with blanks") << hex + "  my image.img"
                                      << "my image.img";
    QTest::newRow("two entries") << hex + "  a\n" + hex + "  b\n" << QString();
    QTest::newRow("empty") << QByteArray("\n\n") << QString();
    QTest::newRow("short digest") << hex.left(31) + "  a\n" << QString();
    QTest::newRow("not hex") << "g" + hex.mid(1) + "  a\n" << QString();
    QTest::newRow("one blank") << hex + " a\n" << QString();
    QTest::newRow("escaped name") << "\\" + hex + "  a\\nb\n" << QString();
    QTest::newRow("BSD style") << "MD5 (Update.img) = " + hex << QString();
}

void tst_CheckList::checkLists()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, name);
    QString parsed, reason;
    QByteArray digest;
    QCOMPARE(CheckList::parse(text, &parsed, &digest, &reason), !name.isEmpty());
    if (!name.isEmpty()) {
        QCOMPARE(parsed, name);
        QCOMPARE(digest.toHex(), text.trimmed().mid(0, 32).toLower());
    }
}

void tst_CheckList::verify_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<bool>("intact");
    const QByteArray md5 = QCryptographicHash::hash("image", QCryptographicHash::Md5).toHex();
    QTest::newRow("matching") << md5 + "  Update.img\n" << true;
    QTest::newRow("./ in front") << md5 + " *./Update.img\n" << true;
    QTest::newRow("other digest") << QByteArray(32, 'a') + "  Update.img\n" << false;
    QTest::newRow("other file") << md5 + "  update.img\n" << false;
    QTest::newRow("oversized list") << QByteArray(CheckList::MaxListSize, '\n') + md5
            + "  Update.img\n" << false;
    QTest::newRow("no list") << QByteArray() << false;
}

void tst_CheckList::verify()
{
    QFETCH(QByteArray, list);
    QFETCH(bool, intact);
    QTemporaryDir dir;
    QFile image(dir.filePath("Update.img"));
    QVERIFY(image.open(QIODevice::WriteOnly) && image.write("image") == 5);
    image.close();
    if (!list.isEmpty()) {
        QFile file(dir.filePath("CHECKSUM.md5"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(list) == list.size());
    }
    QString reason;
    QCOMPARE(CheckList::verify(dir.path(), "CHECKSUM.md5", "Update.img", &reason), intact);
    QCOMPARE(reason.isEmpty(), intact);
}

QTEST_GUILESS_MAIN(tst_CheckList)
#include "tst_CheckList.moc"
