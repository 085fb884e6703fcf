#include "engine/ProgramStepsModel.h"
#include "engine/ProgramsModel.h"
#include "engine/Source.h"
#include "engine/ioc/AvlTree.h"
#include "instrument/ModelInformation.h"
#include "platform/AtomicFile.h"
#include "tests/instrument/SingleUnitModel.h"

#include <QAbstractItemModelTester>
#include <QDirIterator>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const QString modeDir = QStringLiteral("/etc/instr/programs/cc");

} // namespace

// The programs model over a private board root holding the single-unit model file and a CC
// program directory; the item-model tester watches every change.
class tst_ProgramsModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void createWritesOneDefaultStep();
    void createRefusalsChangeNothing_data();
    void createRefusalsChangeNothing();
    void createRollsBackWhatItCouldNotWrite_data();
    void createRollsBackWhatItCouldNotWrite();
    void selectionBlocksCreateAndDelete();
    void proposesFirstFreeName();
    void proposalsRunOut();
    void deleteRemovesProgramWithSubPrograms();
    void deleteRefusals();
    void selectionLoadsTheWholeFamily();
    void deselection();
    void renameInPlace();
    void renameRefusals_data();
    void renameRefusals();
    void panelRename();
    void itemForPath_data();
    void itemForPath();
    void runActiveLocksNameCell();
    void saveWritesBothFilesAndReportsFailure();
    void scanSortsAndSkipsLinks();
    void linksAreNeverFollowed();
    void searchProgramObject();

private:
    // Makes the directories (paths below the mode directory), each with a program file of
    // `steps` default steps and a last-step file whose level is 1 A more than the one before
    // (from 1 A), then reads the tree.
    void makePrograms(const QStringList &paths, int steps = 1);
    QString dir(const QString &path) const { return m_root->path(modeDir + path); }
    // Every path below the mode directory, sorted.
    QStringList listing() const;

    std::unique_ptr<BoardRootFixture> m_root;
    std::unique_ptr<ModelInformation> m_info;
    std::unique_ptr<ProgramsModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    QList<int> m_refusals;
};

void tst_ProgramsModel::init()
{
    m_root = std::make_unique<BoardRootFixture>();
    vek::Source::resetState();
    m_info = SingleUnitModel::load(*m_root);
    QVERIFY(m_info && QDir().mkpath(dir(QString())));
    m_model = std::make_unique<ProgramsModel>(m_info.get());
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_refusals.clear();
    m_model->setRefusalHandler([this](vek::SCPIERR_T error) {
        m_refusals.append(error);
    });
    m_model->loadDirectory(modeDir);
}

void tst_ProgramsModel::cleanup()
{
    platform::AtomicFile::setRenameFunction({});
    m_tester.reset();
    m_model.reset();
    m_info.reset();
    vek::Source::resetState();
    m_root.reset();
}

void tst_ProgramsModel::makePrograms(const QStringList &paths, int steps)
{
    // Written through a scratch model so that the files are those the instrument writes.
    ProgramStepsModel writer(m_info.get());
    double laststepLevel = 1.0;
    for (const QString &path : paths) {
        QVERIFY(QDir().mkpath(dir(path)));
        ioc::AvlTree tree;
        writer.setProgramObject(&tree);
        QCOMPARE(writer.insertSteps(-1, 1), vek::SCPIERR_T(0));
        if (steps > 1)
            QCOMPARE(writer.insertSteps(0, steps - 1), vek::SCPIERR_T(0));
        writer.setLaststepLevel(laststepLevel++);
        QVERIFY(writer.save(modeDir + path));
        QVERIFY(writer.saveLaststep(modeDir + path));
        writer.setProgramObject(nullptr);
    }
    m_model->loadDirectory(modeDir);
}

QStringList tst_ProgramsModel::listing() const
{
    QStringList paths;
    QDirIterator it(dir(QString()),
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next().mid(dir(QString()).size()));
    paths.sort();
    return paths;
}

void tst_ProgramsModel::createWritesOneDefaultStep()
{
    makePrograms({ "/Zulu" });
    QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted);

    QCOMPARE(m_model->doCreate("/Alpha"), vek::SCPIERR_T(0));

    QVERIFY(QFileInfo::exists(dir("/Alpha/program.data")));
    QVERIFY(!QFileInfo::exists(dir("/Alpha/laststep.data")));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 1);
    QCOMPARE(inserted.at(0).at(2).toInt(), 1);
    QCOMPARE(m_model->index(1, 0).data().toString(), QStringLiteral("Alpha"));
    QCOMPARE(m_model->searchProgramObject("/Alpha"), nullptr);

    // A bare name is a top-level program too; a sub-program goes below its parent.
    QCOMPARE(m_model->doCreate("Bravo"), vek::SCPIERR_T(0));
    QCOMPARE(m_model->doCreate("/Alpha/Child"), vek::SCPIERR_T(0));
    QVERIFY(QFileInfo::exists(dir("/Bravo/program.data")));
    QVERIFY(QFileInfo::exists(dir("/Alpha/Child/program.data")));

    QCOMPARE(m_model->selected("/Alpha"), vek::SCPIERR_T(0));
    QCOMPARE(m_model->stepsModel()->rowCount(), 1);
}

void tst_ProgramsModel::createRefusalsChangeNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");

    QTest::newRow("exists") << "/Alpha" << 302;
    QTest::newRow("exists as a file") << "/notes" << 302;
    QTest::newRow("missing parent") << "/Missing/Beta" << 302;
    QTest::newRow("leading full stop") << "/.x" << 301;
    QTest::newRow("empty name") << "/Alpha/" << 301;
    QTest::newRow("empty path") << "" << 301;
    QTest::newRow("forbidden character") << "/a*b" << 301;
    QTest::newRow("control character") << "/a\nb" << 301;
    QTest::newRow("double slash") << "//Alpha" << 302;
}

void tst_ProgramsModel::createRefusalsChangeNothing()
{
    QFETCH(QString, path);
    QFETCH(int, error);
    makePrograms({ "/Alpha" });
    QVERIFY(m_root->write(modeDir + "/notes", "text"));
    const QStringList before = listing();
    QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted);

    QCOMPARE(int(m_model->doCreate(path)), error);

    QCOMPARE(listing(), before);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(m_model->rowCount(), 1);
}

void tst_ProgramsModel::createRollsBackWhatItCouldNotWrite_data()
{
    QTest::addColumn<bool>("missingModeDirectory");
    QTest::newRow("directory cannot be made") << true;
    QTest::newRow("program file cannot be written") << false;
}

void tst_ProgramsModel::createRollsBackWhatItCouldNotWrite()
{
    QFETCH(bool, missingModeDirectory);
    if (missingModeDirectory)
        QVERIFY(QDir(dir(QString())).removeRecursively());
    else
        platform::AtomicFile::setRenameFunction([](const QString &, const QString &) {
            return false;
        });
    QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted);

    QCOMPARE(m_model->doCreate("/Alpha"), vek::SCPIERR_T(302));
    QVERIFY(!m_model->insertRows(0, 1));

    QCOMPARE(inserted.count(), 0);
    QCOMPARE(m_model->rowCount(), 0);
    QVERIFY(!QFileInfo::exists(dir("/Alpha")));
    QVERIFY(!QFileInfo::exists(dir("/New Program1")));
}

void tst_ProgramsModel::selectionBlocksCreateAndDelete()
{
    makePrograms({ "/Alpha", "/Bravo" });
    QCOMPARE(m_model->selected("/Alpha"), vek::SCPIERR_T(0));
    const QStringList before = listing();

    QCOMPARE(m_model->doCreate("/Charlie"), vek::SCPIERR_T(313));
    QCOMPARE(m_model->doDelete("/Bravo"), vek::SCPIERR_T(305));
    QCOMPARE(m_model->doDelete("/Alpha"), vek::SCPIERR_T(305));
    QVERIFY(!m_model->insertRows(0, 1));
    QVERIFY(!m_model->removeRows(1, 1));

    QCOMPARE(listing(), before);
    QCOMPARE(m_model->rowCount(), 2);
}

void tst_ProgramsModel::proposesFirstFreeName()
{
    makePrograms({ "/Parent/New Program1", "/Parent/New Program3" });
    const QModelIndex parent = m_model->index(0, 0);
    QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted);

    QVERIFY(m_model->insertRows(0, 1, parent));

    QCOMPARE(inserted.count(), 1);
    QCOMPARE(m_model->index(0, 0, parent).data().toString(), QStringLiteral("New Program2"));
    QVERIFY(QFileInfo::exists(dir("/Parent/New Program2/program.data")));

    // Two at once take the next free names, each announced.
    QVERIFY(m_model->insertRows(3, 2, parent));
    QCOMPARE(m_model->rowCount(parent), 5);
    QVERIFY(QFileInfo::exists(dir("/Parent/New Program4")));
    QVERIFY(QFileInfo::exists(dir("/Parent/New Program5")));
}

void tst_ProgramsModel::proposalsRunOut()
{
    for (int n = 1; n <= ProgramsModel::MaxProposals; ++n)
        QVERIFY(QDir().mkpath(dir(QStringLiteral("/New Program%1").arg(n))));
    m_model->loadDirectory(modeDir);
    QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted);

    QVERIFY(!m_model->insertRows(0, 1));

    QCOMPARE(inserted.count(), 0);
    QCOMPARE(m_model->rowCount(), ProgramsModel::MaxProposals);
}

void tst_ProgramsModel::deleteRemovesProgramWithSubPrograms()
{
    makePrograms({ "/Alpha/Sub/Deeper", "/Bravo" });
    QSignalSpy removed(m_model.get(), &QAbstractItemModel::rowsRemoved);

    QCOMPARE(m_model->doDelete("/Alpha"), vek::SCPIERR_T(0));

    QCOMPARE(removed.count(), 1);
    QVERIFY(!QFileInfo::exists(dir("/Alpha")));
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->index(0, 0).data().toString(), QStringLiteral("Bravo"));

    QVERIFY(m_model->removeRows(0, 1));
    QCOMPARE(listing(), QStringList());
}

void tst_ProgramsModel::deleteRefusals()
{
    makePrograms({ "/Alpha" });
    QCOMPARE(m_model->doDelete(""), vek::SCPIERR_T(303));
    QCOMPARE(m_model->doDelete("/"), vek::SCPIERR_T(303));
    QCOMPARE(m_model->doDelete("/Missing"), vek::SCPIERR_T(303));
    QCOMPARE(m_model->doDelete("Alpha"), vek::SCPIERR_T(303));
    QVERIFY(!m_model->removeRows(0, 2));

    // A tree deeper than the bound is refused before anything of it is removed.
    QString deep = "/Deep";
    for (int level = 0; level <= ProgramsModel::MaxDepth; ++level)
        deep += "/d";
    QVERIFY(QDir().mkpath(dir(deep)));
    QVERIFY(m_root->write(modeDir + deep + "/file", "x"));
    m_model->loadDirectory(modeDir);
    const QStringList before = listing();
    QSignalSpy removed(m_model.get(), &QAbstractItemModel::rowsRemoved);

    QCOMPARE(m_model->doDelete("/Deep"), vek::SCPIERR_T(303));

    QCOMPARE(listing(), before);
    QCOMPARE(removed.count(), 0);
    QVERIFY(m_model->itemForPath("/Deep"));
}

void tst_ProgramsModel::selectionLoadsTheWholeFamily()
{
    makePrograms(
        { "/Green", "/Green/Leaf", "/Red", "/Red/Blue", "/Red/Blue/Cyan", "/Red/Pink" }, 2);
    ProgramItem *red = m_model->itemForPath("/Red");
    ProgramItem *green = m_model->itemForPath("/Green");
    QSignalSpy selected(m_model.get(), &ProgramsModel::programSelected);

    QCOMPARE(m_model->selected("/Red/Blue"), vek::SCPIERR_T(0));

    QCOMPARE(selected.count(), 1);
    QCOMPARE(m_model->selectProgramName(), QStringLiteral("/Red/Blue"));
    for (const char *path : { "/Red", "/Red/Blue", "/Red/Blue/Cyan", "/Red/Pink" })
        QVERIFY2(m_model->searchProgramObject(path), path);
    QVERIFY(!m_model->searchProgramObject("/Green"));
    QVERIFY(!m_model->searchProgramObject("/Green/Leaf"));
    QCOMPARE(m_model->stepsModel()->programObject(), m_model->searchProgramObject("/Red/Blue"));
    QCOMPARE(m_model->stepsModel()->rowCount(), 2);
    // Each program's last step lands in its own tree (1 A = 1,000,000 register units); the step
    // table keeps the top-level program's last-step settings.
    QCOMPARE(m_model->searchProgramObject("/Red")->lastStep()->dc(), 3000000u);
    QCOMPARE(m_model->searchProgramObject("/Red/Blue")->lastStep()->dc(), 4000000u);
    QCOMPARE(m_model->searchProgramObject("/Red/Pink")->lastStep()->dc(), 6000000u);
    QCOMPARE(m_model->stepsModel()->laststepLevel(), 3.0);
    const QModelIndex blue = m_model->index(m_model->itemForPath("/Red/Blue"));
    QCOMPARE(blue.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    // Within the family only the mark and the step table move.
    ioc::AvlTree *redTree = red->m_programObject;
    QCOMPARE(m_model->selected("/Red"), vek::SCPIERR_T(0));
    QCOMPARE(red->m_programObject, redTree);
    QCOMPARE(blue.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(m_model->index(red).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(m_model->stepsModel()->programObject(), redTree);

    // Another family: the old one is unloaded first.
    QCOMPARE(m_model->selected("/Green"), vek::SCPIERR_T(0));
    QVERIFY(!red->m_programObject);
    QVERIFY(!m_model->searchProgramObject("/Red/Blue/Cyan"));
    QVERIFY(green->m_programObject);
    QVERIFY(m_model->searchProgramObject("/Green/Leaf"));
    QCOMPARE(m_model->selectedItem(), green);
    QCOMPARE(m_model->index(red).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

    QCOMPARE(m_model->selected("/Red/Missing"), vek::SCPIERR_T(303));
    QCOMPARE(m_model->selectedItem(), green);
}

void tst_ProgramsModel::deselection()
{
    makePrograms({ "/Alpha" });
    QSignalSpy selected(m_model.get(), &ProgramsModel::programSelected);

    QCOMPARE(m_model->selected(""), vek::SCPIERR_T(0));
    QCOMPARE(selected.count(), 0);

    QVERIFY(m_model->setData(m_model->index(0, 0), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(m_model->selectProgramName(), QStringLiteral("/Alpha"));
    QCOMPARE(m_model->selected(""), vek::SCPIERR_T(0));

    QCOMPARE(selected.count(), 2);
    QCOMPARE(m_model->selectProgramName(), QString());
    QVERIFY(!m_model->searchProgramObject("/Alpha"));
    QVERIFY(!m_model->stepsModel()->programObject());
    QCOMPARE(m_model->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
}

void tst_ProgramsModel::renameInPlace()
{
    makePrograms({ "/Top/Old/Kid", "/Other/Place" });
    QCOMPARE(m_model->selected("/Top/Old"), vek::SCPIERR_T(0));
    QSignalSpy selected(m_model.get(), &ProgramsModel::programSelected);
    QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);

    QCOMPARE(m_model->rename("/Other/Place/Fresh"), vek::SCPIERR_T(0));

    QVERIFY(QFileInfo::exists(dir("/Top/Fresh/Kid/program.data")));
    QVERIFY(!QFileInfo::exists(dir("/Top/Old")));
    QVERIFY(!QFileInfo::exists(dir("/Other/Place/Fresh")));
    QCOMPARE(m_model->selectProgramName(), QStringLiteral("/Top/Fresh"));
    QCOMPARE(selected.count(), 1);
    QVERIFY(changed.count() >= 1);
    QCOMPARE(m_model->itemForPath("/Top/Fresh"), m_model->selectedItem());

    // Its own name again: nothing on the disk changes.
    const QStringList before = listing();
    QCOMPARE(m_model->rename("Fresh"), vek::SCPIERR_T(0));
    QCOMPARE(listing(), before);
}

void tst_ProgramsModel::renameRefusals_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");

    QTest::newRow("sibling exists") << "/Top/Sister" << 302;
    QTest::newRow("file exists") << "/notes" << 302;
    QTest::newRow("leading full stop") << "/.hidden" << 301;
    QTest::newRow("empty") << "/Top/" << 301;
    QTest::newRow("forbidden character") << "Bad|name" << 301;
}

void tst_ProgramsModel::renameRefusals()
{
    QFETCH(QString, path);
    QFETCH(int, error);
    makePrograms({ "/Top/Old", "/Top/Sister" });
    QVERIFY(m_root->write(modeDir + "/Top/notes", "text"));
    QCOMPARE(m_model->rename("/Top/New"), vek::SCPIERR_T(304));
    QCOMPARE(m_model->selected("/Top/Old"), vek::SCPIERR_T(0));
    const QStringList before = listing();

    QCOMPARE(int(m_model->rename(path)), error);

    QCOMPARE(listing(), before);
    QCOMPARE(m_model->selectProgramName(), QStringLiteral("/Top/Old"));
}

void tst_ProgramsModel::panelRename()
{
    makePrograms({ "/Alpha/Sub", "/Bravo" });
    QCOMPARE(m_model->selected("/Alpha/Sub"), vek::SCPIERR_T(0));
    const QModelIndex alpha = m_model->index(0, 0);

    // Renaming the selected program's top-level program moves the selected path along.
    QVERIFY(m_model->setData(alpha, "Apex"));
    QCOMPARE(alpha.data().toString(), QStringLiteral("Apex"));
    QCOMPARE(m_model->selectProgramName(), QStringLiteral("/Apex/Sub"));
    QVERIFY(QFileInfo::exists(dir("/Apex/Sub/program.data")));

    QVERIFY(!m_model->setData(alpha, ".Apex"));
    QVERIFY(!m_model->setData(alpha, "Bravo"));
    QVERIFY(!m_model->setData(alpha, "a/b"));
    QCOMPARE(m_refusals, QList<int>({ 301, 302, 301 }));
    QCOMPARE(alpha.data().toString(), QStringLiteral("Apex"));
    QVERIFY(!QFileInfo::exists(dir("/a")));
}

void tst_ProgramsModel::itemForPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name"); // of the item found; "-" for none, "<root>" for the root

    QTest::newRow("empty") << ""
                           << "<root>";
    QTest::newRow("top-level") << "/Alpha"
                               << "Alpha";
    QTest::newRow("nested") << "/Alpha/Sub"
                            << "Sub";
    QTest::newRow("no leading slash") << "Alpha"
                                      << "-";
    QTest::newRow("slash alone") << "/"
                                 << "-";
    QTest::newRow("empty component") << "/Alpha//Sub"
                                     << "-";
    QTest::newRow("trailing slash") << "/Alpha/"
                                    << "-";
    QTest::newRow("case differs") << "/alpha"
                                  << "-";
    QTest::newRow("missing") << "/Alpha/Nope"
                             << "-";
}

void tst_ProgramsModel::itemForPath()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    makePrograms({ "/Alpha/Sub" });

    const ProgramItem *item = m_model->itemForPath(path);

    if (name == "-")
        QVERIFY(!item);
    else if (name == "<root>")
        QCOMPARE(item, m_model->rootItem());
    else
        QVERIFY(item && item->m_name == name && item->searchPath(item) == path);
}

void tst_ProgramsModel::runActiveLocksNameCell()
{
    makePrograms({ "/Alpha" });
    const QModelIndex alpha = m_model->index(0, 0);
    QVERIFY(m_model->flags(alpha) & Qt::ItemIsEditable);
    QVERIFY(m_model->flags(alpha) & Qt::ItemIsUserCheckable);

    m_model->setRunActive(true);
    QCOMPARE(
        m_model->flags(alpha) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable), Qt::ItemFlags());
    QVERIFY(m_model->flags(alpha) & Qt::ItemIsEnabled);

    m_model->setRunActive(false);
    QVERIFY(m_model->flags(alpha) & Qt::ItemIsEditable);
}

void tst_ProgramsModel::saveWritesBothFilesAndReportsFailure()
{
    makePrograms({ "/Alpha" });
    QCOMPARE(m_model->save(), vek::SCPIERR_T(304));
    QCOMPARE(m_model->selected("/Alpha"), vek::SCPIERR_T(0));
    QVERIFY(QFile::remove(dir("/Alpha/laststep.data")));
    m_model->stepsModel()->insertSteps(0, 2);

    QCOMPARE(m_model->save(), vek::SCPIERR_T(0));
    QVERIFY(QFileInfo::exists(dir("/Alpha/laststep.data")));

    platform::AtomicFile::setRenameFunction([](const QString &, const QString &) {
        return false;
    });
    const QByteArray before = m_root->read(modeDir + "/Alpha/program.data");
    m_model->stepsModel()->insertSteps(0, 1);
    QCOMPARE(m_model->save(), vek::SCPIERR_T(-310));
    QCOMPARE(m_root->read(modeDir + "/Alpha/program.data"), before);

    // Saved steps come back on the next selection.
    platform::AtomicFile::setRenameFunction({});
    QCOMPARE(m_model->selected(""), vek::SCPIERR_T(0));
    QCOMPARE(m_model->selected("/Alpha"), vek::SCPIERR_T(0));
    QCOMPARE(m_model->stepsModel()->rowCount(), 3);
}

void tst_ProgramsModel::scanSortsAndSkipsLinks()
{
    makePrograms({ "/beta", "/Alpha", "/Charlie/sub" });
    QVERIFY(m_root->write(modeDir + "/file.txt", "x"));
    QVERIFY(QDir().mkpath(dir("/.hidden")));
    QVERIFY(QFile::link(dir("/Alpha"), dir("/Link")));
    QString deep = "/Deep";
    for (int level = 1; level <= ProgramsModel::MaxDepth + 2; ++level)
        deep += "/d";
    QVERIFY(QDir().mkpath(dir(deep)));
    m_model->loadDirectory(modeDir);

    QStringList names;
    for (int row = 0; row < m_model->rowCount(); ++row)
        names << m_model->index(row, 0).data().toString();
    QCOMPARE(names, QStringList({ "Alpha", "beta", "Charlie", "Deep" }));
    int depth = 0;
    for (QModelIndex index = m_model->index(3, 0); index.isValid();
         index = m_model->index(0, 0, index))
        ++depth;
    QCOMPARE(depth, ProgramsModel::MaxDepth);
    QCOMPARE(m_model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Program Name"));
    QCOMPARE(m_model->columnCount(), 1);
}

void tst_ProgramsModel::linksAreNeverFollowed()
{
    makePrograms({ "/Alpha/Sub" });
    const QString outside = m_root->path("/outside");
    QVERIFY(QDir().mkpath(outside + "/keep"));
    QVERIFY(m_root->write("/outside/keep/data", "precious"));
    QVERIFY(QFile::link(outside, dir("/Alpha/Sub/link")));
    QVERIFY(QFile::link(outside + "/keep/data", dir("/Alpha/filelink")));
    m_model->loadDirectory(modeDir);
    QCOMPARE(m_model->itemForPath("/Alpha/Sub/link"), nullptr);

    QCOMPARE(m_model->doDelete("/Alpha"), vek::SCPIERR_T(0));

    QVERIFY(!QFileInfo(dir("/Alpha")).exists());
    QCOMPARE(m_root->read("/outside/keep/data"), QByteArray("precious"));
}

void tst_ProgramsModel::searchProgramObject()
{
    makePrograms({ "/Alpha/Sub" });
    QVERIFY(!m_model->searchProgramObject(""));
    QCOMPARE(m_model->selected("/Alpha/Sub"), vek::SCPIERR_T(0));
    QCOMPARE(m_model->searchProgramObject(""), m_model->searchProgramObject("/Alpha/Sub"));
    QVERIFY(m_model->searchProgramObject("/Alpha"));
    QVERIFY(!m_model->searchProgramObject("/"));
    QVERIFY(!m_model->searchProgramObject("/Nope"));
}

QTEST_GUILESS_MAIN(tst_ProgramsModel)
#include "tst_ProgramsModel.moc"
