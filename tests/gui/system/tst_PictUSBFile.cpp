#include "gui/system/PictUSBFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The name the measurement-data page proposes for a new CSV file.
class tst_PictUSBFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void generateSaveName_data();
    void generateSaveName();
    void noNameWhenAllAreTaken();
};

void tst_PictUSBFile::generateSaveName_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("proposed");

    QTest::newRow("empty folder") << QStringList {} << "Untitled1.csv";
    QTest::newRow("next number") << QStringList { "Untitled1.csv", "Untitled2.csv" }
                                 << "Untitled3.csv";
    QTest::newRow("lowest gap") << QStringList { "Untitled1.csv", "Untitled3.csv" }
                                << "Untitled2.csv";
    QTest::newRow("other names do not count")
        << QStringList { "untitled1.csv", "Untitled1.info", "Untitled01.csv" } << "Untitled1.csv";
    QTest::newRow("a folder of that name counts")
        << QStringList { "Untitled1.csv/" } << "Untitled2.csv";
}

void tst_PictUSBFile::generateSaveName()
{
    QFETCH(QStringList, present);
    QFETCH(QString, proposed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &name : present) {
        if (name.endsWith('/')) {
            QVERIFY(QDir(dir.path()).mkdir(name.chopped(1)));
        } else {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
    QCOMPARE(PictUSBFile::generateSaveName(dir.path()), dir.path() + '/' + proposed);
}

void tst_PictUSBFile::noNameWhenAllAreTaken()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (int n = 1; n <= 999; ++n) {
        QFile file(dir.filePath(QString("Untitled%1.csv").arg(n)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(PictUSBFile::generateSaveName(dir.path()), QString());
    QVERIFY(QFile::remove(dir.filePath("Untitled500.csv")));
    QCOMPARE(PictUSBFile::generateSaveName(dir.path()), dir.filePath("Untitled500.csv"));
}

QTEST_GUILESS_MAIN(tst_PictUSBFile)
#include "tst_PictUSBFile.moc"
