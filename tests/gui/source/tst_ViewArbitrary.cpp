#include "commands/SystErrCustom.h"
#include "engine/ArbitraryModel.h"
#include "engine/Basic.h"
#include "engine/ELoad.h"
#include "gui/source/FuncSourLevelArbitrary.h"
#include "gui/source/FuncSourLevelForms.h"
#include "gui/source/ViewArbitrary.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "gui/toolkit/zoMessageBox.h"
#include "remote/ZOSystErrCue.h"
#include "tests/support/PanelTestLook.h"
#include "tests/support/PowerBoard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <memory>

using vek::ELoad;
using vek::SCPIERR_T;

namespace {

constexpr int Wait = 30000;

} // namespace

// The arbitrary table view with the level page's table keys in a 320 x 240 window over the
// engine root's table on the simulated board (model: 0.3, 3 and 30 A, one 150 V range).
class tst_ViewArbitrary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void tableKeyReadsEditOnlyOnEditableCells();
    void countInsertsAtTheCursor();
    void editorsKeepTheHighLimitsAndRefusalsShowTheBox();

private:
    QModelIndex cell(int row, int column) const { return table()->index(row, column); }
    vek::ArbitraryModel *table() const { return m_root->arbitrary(); }
    zoDoubleSpinBox *openEditor(int row, int column);
    void fillTen();

    // The instrument's error texts for the message boxes.
    std::unique_ptr<SystErrCustom> m_hook;
    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<ELoad> m_root;
    std::unique_ptr<QWidget> m_host;
    FuncSourLevelArbitrary *m_keys = nullptr;
    ViewArbitrary *m_view = nullptr;
};

void tst_ViewArbitrary::initTestCase()
{
    const QString why = PanelTestLook::apply();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    m_hook = std::make_unique<SystErrCustom>(nullptr, nullptr, nullptr);
    zo4882::s_systErrCue.setHook(m_hook.get());
    vek::Source::resetState();
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_root = std::make_unique<ELoad>(ELoad::ValueObjectsHook(), 0);
    // The settings objects' queued start-up, which sets the table's default points.
    QSignalSpy started(m_root->basic(), &vek::Source::operationModeChanged);
    QVERIFY(started.wait(Wait));
    QTest::qWait(200);
}

void tst_ViewArbitrary::fillTen()
{
    // Ten points 0, 10, ..., 90 V at 1 A; the last is pinned to the full scale.
    QList<vek::ARBITRARY_DATA> points;
    for (int n = 0; n < 10; ++n)
        points.append({ 10.0 * n, 1.0 });
    QCOMPARE(table()->setTable(points), SCPIERR_T(0));
}

void tst_ViewArbitrary::init()
{
    fillTen();
    m_host = std::make_unique<QWidget>();
    m_keys = new FuncSourLevelArbitrary(m_host.get());
    m_view = new ViewArbitrary(m_keys, m_host.get());
    auto *layout = new QHBoxLayout(m_host.get());
    layout->addWidget(m_view);
    layout->addWidget(m_keys);
    m_host->resize(320, 240);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
}

void tst_ViewArbitrary::cleanup()
{
    m_host.reset();
}

void tst_ViewArbitrary::cleanupTestCase()
{
    m_root.reset();
    zo4882::s_systErrCue.setHook(nullptr);
    if (m_board)
        QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
}

zoDoubleSpinBox *tst_ViewArbitrary::openEditor(int row, int column)
{
    m_view->tableView->setFocus();
    m_view->tableView->setCurrentIndex(cell(row, column));
    Q_EMIT m_keys->tableClicked(true);
    // The editor opens at once; the caller checks it is there.
    return m_view->tableView->findChild<zoDoubleSpinBox *>();
}

void tst_ViewArbitrary::tableKeyReadsEditOnlyOnEditableCells()
{
    const QString edit = QStringLiteral("Table\n(\u00B7Edit)");
    const struct
    {
        int row, column;
        bool editable;
    } cells[] = {
        { 0, 0, false }, { 0, 1, false }, { 1, 0, true }, { 9, 0, false }, { 9, 1, true }
    };
    for (const auto &c : cells) {
        m_view->tableView->setCurrentIndex(cell(c.row, c.column));
        QCOMPARE(m_keys->ui->table->text(), c.editable ? edit : QStringLiteral("Table"));
    }
}

void tst_ViewArbitrary::countInsertsAtTheCursor()
{
    m_view->tableView->setCurrentIndex(cell(2, 1));
    Q_EMIT m_keys->countPrefixChanged(12);
    QCOMPARE(table()->getCount(), 12);
    QCOMPARE(m_keys->ui->arbCount->value(), 12.0);
    // The new rows copy the point at the cursor; the points after it move down.
    const QList<vek::ARBITRARY_DATA> points = table()->getData();
    QCOMPARE(points.at(3).voltage, 20.0);
    QCOMPARE(points.at(4).voltage, 20.0);
    QCOMPARE(points.at(5).voltage, 30.0);
    QCOMPARE(points.at(10).voltage, 80.0);

    // The count key moves the focus to the entry and back to the table.
    m_view->tableView->setFocus();
    Q_EMIT m_keys->countClicked(true);
    QTRY_VERIFY_WITH_TIMEOUT(m_keys->ui->arbCount->hasFocus(), Wait);
    QVERIFY(m_keys->ui->countButton->isChecked());
    Q_EMIT m_keys->countClicked(true);
    QTRY_VERIFY_WITH_TIMEOUT(m_view->tableView->hasFocus(), Wait);
    QVERIFY(!m_keys->ui->countButton->isChecked());
}

void tst_ViewArbitrary::editorsKeepTheHighLimitsAndRefusalsShowTheBox()
{
    // The engine may set the table back to its default points on a range change.
    QCOMPARE(m_root->basic()->setCurrentRange(KeywordBridge_LowMedHigh::LOW), SCPIERR_T(0));
    fillTen();
    zoDoubleSpinBox *box = openEditor(3, 1);
    QVERIFY(box);
    QVERIFY2(box->maximum() > 3.0, qPrintable(QString::number(box->maximum())));
    // The table key commits the open editor.
    box->setValue(2.5);
    Q_EMIT m_keys->tableClicked(true);
    QTRY_COMPARE_WITH_TIMEOUT(table()->getData().at(3).current, 2.5, Wait);

    // A voltage beyond the next point's is refused with the table's box; the cell keeps its value.
    box = openEditor(3, 0);
    QVERIFY(box);
    box->setValue(55.0);
    Q_EMIT m_keys->tableClicked(true);
    zoMessageBox *refusal = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(refusal = m_host->findChild<zoMessageBox *>(), Wait);
    QString message;
    for (QLabel *label : refusal->findChildren<QLabel *>())
        message += label->text();
    QVERIFY2(message.contains(QLatin1String("ARBitrary map data conflict")), qPrintable(message));
    QCOMPARE(table()->getData().at(3).voltage, 30.0);
    QCOMPARE(m_root->basic()->setCurrentRange(KeywordBridge_LowMedHigh::HIGH), SCPIERR_T(0));
}

QTEST_MAIN(tst_ViewArbitrary)
#include "tst_ViewArbitrary.moc"
