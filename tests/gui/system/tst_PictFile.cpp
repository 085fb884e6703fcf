#include "engine/AbcMemory.h"
#include "engine/Basic.h"
#include "engine/ELoad.h"
#include "engine/Source.h"
#include "gui/system/FileSystemEditModel.h"
#include "gui/system/PictFile.h"
#include "gui/system/SetupContents.h"
#include "gui/system/SystemKeyPages.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/JsNode.h"
#include "gui/toolkit/JsonModel.h"
#include "gui/toolkit/zoMessageBox.h"
#include "gui/toolkit/zoUpDownLineEdit.h"
#include "tests/gui/system/StickFixture.h"
#include "tests/support/PanelTestLook.h"
#include "tests/support/PowerBoard.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTreeView>
#include <QtTest>

#include <memory>

using vek::ELoad;

namespace {
constexpr int WaitMs = 20000;

const JsNode *find(const JsNode *node, const QString &name)
{
    if (node->name() == name)
        return node;
    for (const JsNode *child : node->children()) {
        if (const JsNode *found = find(child, name))
            return found;
    }
    return nullptr;
}
} // namespace

// The setup-file page on the engine root against the simulated board: key states of each kind
// of entry, the contents tree, Save As on a stick inside the remount pair, Recall, the error
// box, and the growing contents view.
class tst_PictFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void keyStates_data();
    void keyStates();
    void contentsShowStoredValues();
    void contentsFollowTheModel();
    void saveAsOnAStickWritesTheSetup();
    void recallAppliesTheFile();
    void recallOfACorruptFileShowsTheBox();
    void propertyGrowsTheContents();

private:
    void select(const QString &boardPath);
    FuncFile *keys() const { return m_page->funcFile(); }
    QTreeView *view(const char *name) const { return m_page->findChild<QTreeView *>(name); }
    QString shown(const QString &key) const;

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<ELoad> m_root;
    std::unique_ptr<PictFile> m_page;
};

void tst_PictFile::initTestCase()
{
    const QString look = PanelTestLook::apply();
    if (!look.isEmpty())
        QSKIP(qPrintable(look));
    vek::Source::resetState();
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_root = std::make_unique<ELoad>(ELoad::ValueObjectsHook(), 0);
    QTest::qWait(200); // the settings objects' queued start-up
    const QString board = m_board->root();
    QVERIFY(QDir().mkpath(board + "/etc/instr/panels"));
    QVERIFY(QFile::link(board + "/etc/instr/panels", board + "/run/media/setups"));
}

void tst_PictFile::cleanupTestCase()
{
    m_root.reset();
    if (m_board)
        QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
}

void tst_PictFile::init()
{
    QDir(StickFixture::path("/run/media/sda1")).removeRecursively();
    QFile::remove(StickFixture::path("/var/log/standin.log"));
    QVERIFY(QDir().mkpath(StickFixture::path("/run/media/sda1/logs")));
    auto write = [](const QString &boardPath, const QByteArray &text) {
        QFile f(StickFixture::path(boardPath));
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
    };
    QVERIFY(write("/etc/instr/panels/01.info",
        R"({"func": 0, "curr:rang": 2, "curr": 1.5, "curr:sst": 0.0005, "func:cvop": true,
            "trig:acq:sour": 512, "outp": false})"));
    QVERIFY(write("/etc/instr/panels/05.info", "{"));
    QVERIFY(write("/run/media/sda1/good.info", R"({"curr": 0.25})"));
    QVERIFY(write("/run/media/sda1/bad.info", "{"));
    m_page = std::make_unique<PictFile>(nullptr, m_root.get());
    m_page->resize(320, 240);
}

void tst_PictFile::cleanup()
{
    m_page.reset();
}

void tst_PictFile::select(const QString &boardPath)
{
    const QModelIndex index = m_page->fileModel()->index(StickFixture::path(boardPath));
    QVERIFY(index.isValid());
    view("file")->setCurrentIndex(index);
}

QString tst_PictFile::shown(const QString &key) const
{
    JsonModel *model = m_page->contentsModel();
    QList<QModelIndex> pending { QModelIndex() };
    while (!pending.isEmpty()) {
        const QModelIndex parent = pending.takeFirst();
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            if (static_cast<JsNode *>(index.internalPointer())->key() == key)
                return model->index(row, 1, parent).data().toString();
            pending << index;
        }
    }
    return "<no row>";
}

void tst_PictFile::keyStates_data()
{
    QTest::addColumn<QString>("boardPath"); // empty: the state at start
    QTest::addColumn<QString>("on"); // R(ecall) S(ave) A(save as) N (rename) P(roperty)
    QTest::newRow("01.info at start") << QString() << "RSP";
    QTest::newRow("internal slot that does not parse") << "/run/media/setups/05.info"
                                                       << "S";
    QTest::newRow("setups") << "/run/media/setups"
                            << "";
    QTest::newRow("stick") << "/run/media/sda1"
                           << "A";
    QTest::newRow("folder on a stick") << "/run/media/sda1/logs"
                                       << "AN";
    QTest::newRow("valid file on a stick") << "/run/media/sda1/good.info"
                                           << "RSANP";
    QTest::newRow("bad file on a stick") << "/run/media/sda1/bad.info"
                                         << "RSAN";
}

void tst_PictFile::keyStates()
{
    QFETCH(QString, boardPath);
    QFETCH(QString, on);
    m_page->show();
    if (!boardPath.isEmpty())
        select(boardPath);
    QString enabled;
    const QList<QPair<QChar, FuncButton *>> table = { { 'R', keys()->m_recallButton },
        { 'S', keys()->m_saveButton },
        { 'A', keys()->m_saveAsButton },
        { 'N', keys()->m_renameButton },
        { 'P', keys()->m_propertyButton } };
    for (const auto &key : table) {
        if (key.second->isEnabled())
            enabled += key.first;
    }
    QCOMPARE(enabled, on);
}

void tst_PictFile::contentsShowStoredValues()
{
    m_page->show();
    QCOMPARE(shown("curr"), QString("1.5"));
    QCOMPARE(shown("curr:sst"), QString("500μs"));
    QCOMPARE(shown("func:cvop"), QString("Limit"));
    QCOMPARE(shown("trig:acq:sour"), QString("1: BUS"));
    QCOMPARE(shown("outp"), QString("Disable"));
    QVERIFY(!shown("date:modify").isEmpty());
    QVERIFY(shown("date:modify") != "Unsaved");

    select("/run/media/setups/05.info");
    QCOMPARE(shown("date:modify"), QString("Unsaved"));
    select("/run/media/sda1/bad.info");
    QVERIFY(shown("date:modify") != "Unsaved");
}

void tst_PictFile::contentsFollowTheModel()
{
    std::unique_ptr<JsNode> full(buildSetupContents({ true, true, true, true }));
    std::unique_ptr<JsNode> plain(buildSetupContents({ false, false, false, false }));
    QVERIFY(find(full.get(), "Short"));
    QVERIFY(find(full.get(), "Sine"));
    QVERIFY(find(full.get(), "Cutoff"));
    QVERIFY(!find(full.get(), "Load Off Timer[s]"));
    QCOMPARE(find(find(full.get(), "Response"), "ARB")->key(), QString("arb:resp"));
    QVERIFY(!find(find(full.get(), "ARB"), "Slew Rate[A/μs]"));

    QVERIFY(!find(plain.get(), "Short"));
    QVERIFY(!find(plain.get(), "Sine"));
    QVERIFY(!find(plain.get(), "Cutoff"));
    QCOMPARE(find(plain.get(), "Load Off Timer[s]")->key(), QString("outp:dwel"));
    QVERIFY(!find(find(plain.get(), "Response"), "ARB"));
    QVERIFY(find(find(plain.get(), "ARB"), "Slew Rate[A/μs]"));
}

void tst_PictFile::saveAsOnAStickWritesTheSetup()
{
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    select("/run/media/sda1");
    keys()->m_saveAsButton->click();
    QFile file(StickFixture::path("/run/media/sda1/Untitled1.info"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    QVERIFY(saved.contains("func"));
    QVERIFY(saved.contains("abc_0"));
    QCOMPARE(StickFixture::journal(),
        QStringList({ "/bin/mount -o remount,rw /run/media/sda1",
            "  ls /run/media/sda1: bad.info good.info logs",
            "/bin/umount /run/media/sda1",
            "  ls /run/media/sda1: Untitled1.info bad.info good.info logs",
            "/bin/mount -r -t auto /dev/sda1 /run/media/sda1" }));
    auto *editor = view("file")->findChild<zoUpDownLineEdit *>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString("Untitled1.info"));
    editor->selectAll();
    QTest::keyClicks(editor, "bench.info");
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(
        QFileInfo::exists(StickFixture::path("/run/media/sda1/bench.info")), WaitMs);

    // The internal store is written without a mount command.
    QFile::remove(StickFixture::path("/var/log/standin.log"));
    select("/run/media/setups/05.info");
    keys()->m_saveButton->click();
    QCOMPARE(StickFixture::journal(), QStringList());
    QVERIFY(QJsonDocument::fromJson(StickFixture::read("/etc/instr/panels/05.info")).isObject());
}

void tst_PictFile::recallAppliesTheFile()
{
    QCOMPARE(m_root->basic()->setRealCurrentLevel(0.5, vek::UpdateIfChanged), vek::SCPIERR_T(0));
    m_page->show();
    keys()->m_recallButton->click();
    QCOMPARE(m_root->basic()->getRealCurrentLevel(), 1.5);
    QVERIFY(!m_page->findChild<zoMessageBox *>());
}

void tst_PictFile::recallOfACorruptFileShowsTheBox()
{
    m_page->show();
    select("/run/media/sda1/bad.info");
    keys()->m_recallButton->click();
    auto *box = m_page->findChild<zoMessageBox *>();
    QVERIFY(box);
    QCOMPARE(box->findChild<QLabel *>()->text(), QString("Corrupt media"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_page->findChild<zoMessageBox *>(), WaitMs);

    // A stick that cannot be made writable keeps its files and says so.
    QVERIFY(QDir().mkpath(StickFixture::path("/run/standin")));
    QFile marker(StickFixture::path("/run/standin/fail-remount"));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    keys()->m_saveButton->click();
    QVERIFY(marker.remove());
    QCOMPARE(StickFixture::read("/run/media/sda1/bad.info"), QByteArray("{"));
    box = m_page->findChild<zoMessageBox *>();
    QVERIFY(box);
    QCOMPARE(box->findChild<QLabel *>()->text(), QString("System error"));
}

void tst_PictFile::propertyGrowsTheContents()
{
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    m_page->activateWindow();
    QTreeView *data = view("data");
    QCOMPARE(data->maximumHeight(), PictFile::ContentsHeight);
    keys()->m_propertyButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(data->hasFocus(), WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(data->maximumHeight(), PictFile::ContentsFocusHeight, WaitMs);
    QVERIFY(keys()->m_propertyButton->isChecked());
    keys()->m_propertyButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(view("file")->hasFocus(), WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(data->maximumHeight(), PictFile::ContentsHeight, WaitMs);
    QVERIFY(!keys()->m_propertyButton->isChecked());
}

QTEST_MAIN(tst_PictFile)
#include "tst_PictFile.moc"
