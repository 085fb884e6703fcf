#include "engine/ProgramsModel.h"
#include "gui/program/ProgramSelectDelegate.h"
#include "gui/toolkit/zoUpDownLineEdit.h"
#include "instrument/ModelInformation.h"
#include "tests/instrument/SingleUnitModel.h"
#include "tests/support/PanelTestLook.h"

#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

const QString modeDir = QStringLiteral("/etc/instr/programs/cc");

} // namespace

// The program-name editor over a programs model holding /Alpha in a private board root.
class tst_ProgramSelectDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void validatorTakesNameCharactersOnly_data();
    void validatorTakesNameCharactersOnly();
    void typedSlashIsRefused();
    void editRenamesOrReportsTheModelsRefusal();
    void viewEditsThroughTheDelegate();

private:
    zoUpDownLineEdit *editor();

    std::unique_ptr<BoardRootFixture> m_root;
    std::unique_ptr<ModelInformation> m_info;
    std::unique_ptr<ProgramsModel> m_model;
    std::unique_ptr<ProgramSelectDelegate> m_delegate;
    std::unique_ptr<QWidget> m_parent;
    QList<int> m_refusals;
};

void tst_ProgramSelectDelegate::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    if (!problem.isEmpty())
        QSKIP(qPrintable(problem));
}

void tst_ProgramSelectDelegate::init()
{
    m_root = std::make_unique<BoardRootFixture>();
    m_info = SingleUnitModel::load(*m_root);
    QVERIFY(m_info && QDir().mkpath(m_root->path(modeDir + "/Alpha")));
    m_model = std::make_unique<ProgramsModel>(m_info.get());
    m_model->loadDirectory(modeDir);
    m_refusals.clear();
    m_model->setRefusalHandler([this](vek::SCPIERR_T error) {
        m_refusals.append(error);
    });
    m_delegate = std::make_unique<ProgramSelectDelegate>();
    m_parent = std::make_unique<QWidget>();
    m_parent->resize(320, 240);
}

void tst_ProgramSelectDelegate::cleanup()
{
    m_parent.reset();
    m_delegate.reset();
    m_model.reset();
    m_info.reset();
    m_root.reset();
}

zoUpDownLineEdit *tst_ProgramSelectDelegate::editor()
{
    const QModelIndex alpha = m_model->index(0, 0);
    auto *edit = qobject_cast<zoUpDownLineEdit *>(
        m_delegate->createEditor(m_parent.get(), QStyleOptionViewItem(), alpha));
    if (edit)
        m_delegate->setEditorData(edit, alpha);
    return edit;
}

void tst_ProgramSelectDelegate::validatorTakesNameCharactersOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("acceptable");

    QTest::newRow("plain") << "New Program1" << true;
    QTest::newRow("every sign") << "-+.,(){}[]_&$#^%@= x" << true;
    QTest::newRow("leading full stop") << ".x" << true;
    QTest::newRow("slash") << "a/b" << false;
    QTest::newRow("backslash") << "a\\b" << false;
    QTest::newRow("non-ASCII letter") << QString::fromUtf8("Gr\xc3\xb6\xc3\x9f"
                                                           "e")
                                      << false;
    QTest::newRow("asterisk") << "a*" << false;
    QTest::newRow("quote") << "a\"b" << false;
}

void tst_ProgramSelectDelegate::validatorTakesNameCharactersOnly()
{
    QFETCH(QString, text);
    QFETCH(bool, acceptable);
    zoUpDownLineEdit *edit = editor();
    QVERIFY(edit && edit->validator());
    QCOMPARE(edit->text(), QStringLiteral("Alpha"));

    int position = 0;
    QCOMPARE(edit->validator()->validate(text, position) == QValidator::Acceptable, acceptable);
}

void tst_ProgramSelectDelegate::typedSlashIsRefused()
{
    zoUpDownLineEdit *edit = editor();
    edit->setFocus();
    edit->end(false);
    QTest::keyClicks(edit, "/x");
    QCOMPARE(edit->text(), QStringLiteral("Alphax"));
}

void tst_ProgramSelectDelegate::editRenamesOrReportsTheModelsRefusal()
{
    zoUpDownLineEdit *edit = editor();
    const QModelIndex alpha = m_model->index(0, 0);

    // A leading full stop passes the editor and is refused by the model.
    edit->setText(".hidden");
    m_delegate->setModelData(edit, m_model.get(), alpha);
    QCOMPARE(m_refusals, QList<int>({ 301 }));
    QCOMPARE(alpha.data().toString(), QStringLiteral("Alpha"));
    QVERIFY(QFileInfo::exists(m_root->path(modeDir + "/Alpha")));

    edit->setText("Bravo (2)");
    m_delegate->setModelData(edit, m_model.get(), alpha);
    QCOMPARE(alpha.data().toString(), QStringLiteral("Bravo (2)"));
    QVERIFY(QFileInfo::exists(m_root->path(modeDir + "/Bravo (2)")));
    QCOMPARE(m_refusals.size(), 1);
}

void tst_ProgramSelectDelegate::viewEditsThroughTheDelegate()
{
    QTreeView view;
    view.setModel(m_model.get());
    view.setItemDelegate(m_delegate.get());
    view.resize(320, 240);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    const QModelIndex alpha = m_model->index(0, 0);
    view.setCurrentIndex(alpha);
    view.edit(alpha);
    auto *edit = view.findChild<zoUpDownLineEdit *>();
    QVERIFY(edit);
    edit->selectAll();
    QTest::keyClicks(edit, "Renamed");
    QTest::keyClick(edit, Qt::Key_Return);

    QTRY_COMPARE(alpha.data().toString(), QStringLiteral("Renamed"));
    QVERIFY(QFileInfo::exists(m_root->path(modeDir + "/Renamed")));
}

QTEST_MAIN(tst_ProgramSelectDelegate)
#include "tst_ProgramSelectDelegate.moc"
