// The image reader: which archives may be unpacked into the unpack folder, and which are refused.

#include "tests/tools/updater/TarBuilder.h"
#include "tools/updater/ArchiveListing.h"

#include <QBuffer>
#include <QtTest>

using updater::ArchiveListing;

class tst_ArchiveListing : public QObject
{
    Q_OBJECT

private slots:
    void archives_data();
    void archives();
};

void tst_ArchiveListing::archives_data()
{
    QTest::addColumn<QByteArray>("gzipped");
    QTest::addColumn<QString>("refusal"); // a part of the reason; empty: the archive passes
    const QByteArray file("data\n");
    const auto row = [](const char *name, const TarBuilder &tar, const char *refusal) {
        QTest::newRow(name) << tar.gzip() << QString::fromLatin1(refusal);
    };

    row("files, folders and inner links",
        TarBuilder()
            .member("update/", '5')
            .member("./update/fileSystem/etc/version.info", '0', file)
            .member("update/lib", '2', {}, "fileSystem/etc")
            .member("update/up", '2', {}, "../update/lib/../x")
            .member("hard", '1', {}, "update/fileSystem/etc/version.info")
            .member("dev/null", '3'),
        "");
    row("member ../x", TarBuilder().member("../x", '0', file), "member ../x would land outside");
    row("member a/../../x", TarBuilder().member("a/../../x", '0', file), "would land outside");
    row("absolute member", TarBuilder().member("/etc/passwd", '0', file), "would land outside");
    row("absolute link", TarBuilder().member("l", '2', {}, "/etc"), "link l points outside");
    row("link leaving the folder",
        TarBuilder().member("a/l", '2', {}, "../../x"),
        "link a/l points outside");
    // l1 is the folder itself, so l1/.. is its parent, though it reads as the folder.
    row("escape through another link",
        TarBuilder().member("l2", '2', {}, "l1/..").member("l1", '2', {}, "sub/.."),
        "link l2 points outside");
    row("link loop",
        TarBuilder().member("a", '2', {}, "b/x").member("b", '2', {}, "a/x"),
        "points outside");
    row("hard link to ../x", TarBuilder().member("h", '1', {}, "../x"), "hard link h");
    row("unknown member type", TarBuilder().member("s", 'S', file), "unsupported type 'S'");
    row("damaged header", TarBuilder().member("x", '0', file, {}, false), "damaged");
    row("pax path ../evil",
        TarBuilder().pax("path", "../evil").member("ok", '0', file),
        "member ../evil would land outside");
    row("pax linkpath",
        TarBuilder().pax("linkpath", "/etc").member("l", '2', {}, "ok"),
        "link l points outside");
    row("GNU long name",
        TarBuilder().member("././@LongLink", 'L', "../" + QByteArray(120, 'n')).member("x"),
        "would land outside");

    const QByteArray good = TarBuilder().member("a", '0', file).gzip();
    QTest::newRow("two gzip members") << good + TarBuilder().member("b").gzip() << QString();
    QTest::newRow("trailing bytes ignored") << good + QByteArray(100, '\0') << QString();
    QTest::newRow("cut short") << good.left(good.size() / 2) << "cut short";
    QTest::newRow("empty file") << QByteArray() << "empty or cut short";
    QTest::newRow("not gzip") << QByteArray("not an archive at all") << "does not decompress";
    QTest::newRow("no members") << TarBuilder::compress(QByteArray(1024, '\0')) << "holds nothing";
    QTest::newRow("tar cut inside a member") << TarBuilder::compress(
        TarBuilder().member("a", '0', QByteArray(2000, 'x')).tar().left(1024))
                                             << "cut short";
}

void tst_ArchiveListing::archives()
{
    QFETCH(QByteArray, gzipped);
    QFETCH(QString, refusal);
    QBuffer buffer(&gzipped);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QString reason;
    QCOMPARE(ArchiveListing::isContained(&buffer, &reason), refusal.isEmpty());
    QVERIFY2(reason.contains(refusal), qPrintable(reason));
    QCOMPARE(reason.isEmpty(), refusal.isEmpty());
}

QTEST_GUILESS_MAIN(tst_ArchiveListing)
#include "tst_ArchiveListing.moc"
