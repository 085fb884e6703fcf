#include "gui/system/FileSystemDelegate.h"
#include "gui/system/FileSystemEditModel.h"
#include "gui/toolkit/zoUpDownLineEdit.h"
#include "tests/gui/system/StickFixture.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QtTest>

#include <memory>

// The storage model under a board root: the USB rule, renames on a stick inside the remount
// pair, renames in the setup store, the refusals and the name editor.
class tst_FileSystemEditModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void usbStorage_data();
    void usbStorage();
    void renameOnAStickRunsTheRemountPair();
    void renameInTheSetupStoreRunsNothing();
    void refusedRenames_data();
    void refusedRenames();
    void failedRemountLeavesTheStick();
    void flagsAndFilter();
    void editorTakesTheNameAndRefusesSeparators();

private:
    QModelIndex indexOf(const QString &boardPath) const
    {
        return m_model->index(StickFixture::path(boardPath));
    }

    std::unique_ptr<StickFixture> m_sticks;
    std::unique_ptr<FileSystemEditModel> m_model;
};

void tst_FileSystemEditModel::init()
{
    m_sticks = std::make_unique<StickFixture>();
    QVERIFY2(m_sticks->isValid(), qPrintable(m_sticks->error()));
    QVERIFY(m_sticks->makeStick("sda1"));
    QVERIFY(m_sticks->write("/run/media/sda1/Untitled1.csv", "a\n"));
    QVERIFY(m_sticks->write("/run/media/sda1/data.csv", "b\n"));
    QVERIFY(m_sticks->write("/etc/instr/panels/03.info", "{}"));
    m_model = std::make_unique<FileSystemEditModel>(nullptr, "csv");
}

void tst_FileSystemEditModel::cleanup()
{
    m_model.reset();
    m_sticks.reset();
}

void tst_FileSystemEditModel::usbStorage_data()
{
    QTest::addColumn<QString>("boardPath");
    QTest::addColumn<bool>("usb");
    QTest::newRow("setup store") << "/run/media/setups/01.info" << false;
    QTest::newRow("mount point") << "/run/media/sda1" << true;
    QTest::newRow("file on a stick") << "/run/media/sda1/data.csv" << true;
    QTest::newRow("media root") << "/run/media" << false;
    QTest::newRow("no such stick") << "/run/media/sdb1/x.csv" << false;
    QTest::newRow("internal store") << "/etc/instr/panels/01.info" << false;
    QTest::newRow("parent step") << "/run/media/../x.csv" << false;
}

void tst_FileSystemEditModel::usbStorage()
{
    QFETCH(QString, boardPath);
    QFETCH(bool, usb);
    QCOMPARE(m_model->validateUSBStorage(StickFixture::path(boardPath)), usb);
}

void tst_FileSystemEditModel::renameOnAStickRunsTheRemountPair()
{
    const QModelIndex index = indexOf("/run/media/sda1/Untitled1.csv");
    QVERIFY(index.isValid());
    QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(m_model->setData(index, "run1.csv"));
    QCOMPARE(StickFixture::journal(),
        QStringList({ "/bin/mount -o remount,rw /run/media/sda1",
            "  ls /run/media/sda1: Untitled1.csv data.csv",
            "/bin/umount /run/media/sda1",
            "  ls /run/media/sda1: data.csv run1.csv",
            "/bin/mount -r -t auto /dev/sda1 /run/media/sda1" }));
    QCOMPARE(StickFixture::read("/run/media/sda1/run1.csv"), QByteArray("a\n"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_model->filePath(changed.at(0).at(0).toModelIndex()),
        StickFixture::path("/run/media/sda1/run1.csv"));
}

void tst_FileSystemEditModel::renameInTheSetupStoreRunsNothing()
{
    const QModelIndex index = indexOf("/run/media/setups/03.info");
    QVERIFY(index.isValid());
    QVERIFY(m_model->setData(index, "04.info"));
    QCOMPARE(StickFixture::journal(), QStringList());
    QVERIFY(!QFileInfo::exists(StickFixture::path("/etc/instr/panels/03.info")));
    QCOMPARE(StickFixture::read("/etc/instr/panels/04.info"), QByteArray("{}"));
}

void tst_FileSystemEditModel::refusedRenames_data()
{
    QTest::addColumn<QString>("boardPath");
    QTest::addColumn<QString>("name");
    QTest::newRow("media root") << "/run/media"
                                << "other";
    QTest::newRow("setups link") << "/run/media/setups"
                                 << "other";
    QTest::newRow("mount point") << "/run/media/sda1"
                                 << "sdz1";
    QTest::newRow("slash") << "/run/media/sda1/data.csv"
                           << "../../x.csv";
    QTest::newRow("colon") << "/run/media/sda1/data.csv"
                           << "a:b.csv";
    QTest::newRow("newline") << "/run/media/sda1/data.csv"
                             << "a\nb.csv";
    QTest::newRow("dot dot") << "/run/media/sda1/data.csv"
                             << "..";
    QTest::newRow("empty") << "/run/media/sda1/data.csv"
                           << "";
    QTest::newRow("existing name") << "/run/media/sda1/data.csv"
                                   << "Untitled1.csv";
}

void tst_FileSystemEditModel::refusedRenames()
{
    QFETCH(QString, boardPath);
    QFETCH(QString, name);
    const QModelIndex index = indexOf(boardPath);
    QVERIFY(index.isValid());
    QVERIFY(!m_model->setData(index, name));
    QVERIFY(QFileInfo::exists(StickFixture::path(boardPath)));
    QCOMPARE(StickFixture::read("/run/media/sda1/Untitled1.csv"), QByteArray("a\n"));
    QCOMPARE(StickFixture::read("/run/media/sda1/data.csv"), QByteArray("b\n"));
    QVERIFY(!m_model->setData(m_model->index(index.row(), 1, index.parent()), "x.csv"));
}

void tst_FileSystemEditModel::failedRemountLeavesTheStick()
{
    QVERIFY(m_sticks->failRemounts());
    QVERIFY(!m_model->setData(indexOf("/run/media/sda1/data.csv"), "run2.csv"));
    QVERIFY(QFileInfo::exists(StickFixture::path("/run/media/sda1/data.csv")));
    QVERIFY(!QFileInfo::exists(StickFixture::path("/run/media/sda1/run2.csv")));
    // No way back is needed: the stick never became writable.
    QCOMPARE(StickFixture::journal().filter("/bin/").size(), 1);
    QCOMPARE(m_model->remountWritableIfNeeded(StickFixture::path("/run/media/sda1/data.csv")),
        FileSystemEditModel::MediaError);
}

void tst_FileSystemEditModel::flagsAndFilter()
{
    QVERIFY(m_sticks->write("/run/media/sda1/a.prog"));
    QVERIFY(QDir().mkpath(StickFixture::path("/run/media/sda1/folder.x")));
    FileSystemEditModel programs(nullptr, "prog");
    const QModelIndex stick = programs.index(StickFixture::path("/run/media/sda1"));
    QSignalSpy loaded(&programs, &QFileSystemModel::directoryLoaded);
    programs.fetchMore(stick);
    QTRY_COMPARE_WITH_TIMEOUT(programs.rowCount(stick), 2, 10000);
    QStringList shown;
    for (int row = 0; row < programs.rowCount(stick); ++row)
        shown << programs.index(row, 0, stick).data().toString();
    shown.sort();
    QCOMPARE(shown, QStringList({ "a.prog", "folder.x" }));

    const QModelIndex file = programs.index(StickFixture::path("/run/media/sda1/a.prog"));
    QVERIFY(programs.flags(file) & Qt::ItemIsEditable);
    QVERIFY(programs.flags(file) & Qt::ItemIsSelectable);
    QVERIFY(!(programs.flags(file) & (Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled)));
    QVERIFY(!(programs.flags(programs.index(file.row(), 1, stick)) & Qt::ItemIsEditable));
    QCOMPARE(programs.flags(QModelIndex()), Qt::NoItemFlags);
}

void tst_FileSystemEditModel::editorTakesTheNameAndRefusesSeparators()
{
    FileSystemDelegate delegate;
    QWidget parent;
    const QModelIndex index = indexOf("/run/media/sda1/data.csv");
    std::unique_ptr<QWidget> editor(delegate.createEditor(&parent, QStyleOptionViewItem(), index));
    auto *edit = qobject_cast<zoUpDownLineEdit *>(editor.get());
    QVERIFY(edit);
    delegate.setEditorData(edit, index);
    QCOMPARE(edit->text(), QString("data.csv"));

    edit->clear();
    QTest::keyClicks(edit, "run/2:b (1)_x.csv");
    QCOMPARE(edit->text(), QString("run2b (1)_x.csv"));
    delegate.setModelData(edit, m_model.get(), index);
    QVERIFY(QFileInfo::exists(StickFixture::path("/run/media/sda1/run2b (1)_x.csv")));
}

QTEST_MAIN(tst_FileSystemEditModel)
#include "tst_FileSystemEditModel.moc"
