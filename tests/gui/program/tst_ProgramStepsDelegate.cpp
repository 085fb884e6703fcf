#include "engine/ProgramStepsModel.h"
#include "engine/Source.h"
#include "engine/ioc/AvlTree.h"
#include "gui/program/ProgramStepsDelegate.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "instrument/ModelInformation.h"
#include "tests/instrument/SingleUnitModel.h"
#include "tests/support/PanelTestLook.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <memory>

using Mode = KeywordBridge_CcCrCvCpArb;
using CurrentRange = KeywordBridge_LowMedHigh;
using VoltageRange = KeywordBridge_LowHigh;

// The step table of the board's single-unit model (150 V, 30/3/0.3 A) with one step, and the
// delegate over it, in the mode and ranges a test sets. A model keeps one voltage range; its
// low-voltage variant rates 15 V, with power ranges of 4.5, 15 and 30 W.
class tst_ProgramStepsDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void levelEditorFollowsModeAndRanges_data();
    void levelEditorFollowsModeAndRanges();
    void slewRateEditorFollowsCurrentRange();
    void stepTimeEditorKeepsModelLimits();
    void editsReachTheModel();
    void otherColumnsAreLeftToTheBase();
    void paintHighlightsSelectedCellAndRestoresPainter();

private:
    void makeFixture(bool lowVoltageModel);
    // The editor of column for step 0, as the delegate builds and fills it.
    zoDoubleSpinBox *editor(int column);
    // Opens a new one-step program in mode with the given ranges.
    void open(Mode::values mode, CurrentRange::values current, VoltageRange::values voltage);
    static void compareToBound(const zoDoubleSpinBox *box, const BoundValue &bound);

    std::unique_ptr<BoardRootFixture> m_root;
    std::unique_ptr<ModelInformation> m_info;
    std::unique_ptr<ProgramStepsModel> m_model;
    std::unique_ptr<ioc::AvlTree> m_tree;
    std::unique_ptr<ProgramStepsDelegate> m_delegate;
    std::unique_ptr<QWidget> m_parent;
};

void tst_ProgramStepsDelegate::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    if (!problem.isEmpty())
        QSKIP(qPrintable(problem));
}

void tst_ProgramStepsDelegate::init()
{
    makeFixture(false);
}

void tst_ProgramStepsDelegate::makeFixture(bool lowVoltageModel)
{
    cleanup();
    m_root = std::make_unique<BoardRootFixture>();
    QByteArray ratings = SingleUnitModel::ratings();
    if (lowVoltageModel) {
        ratings.replace("<voltage>",
            "<voltage><low-volt-range><range title=\"15\"/><level min=\"0\" max=\"15\" "
            "default=\"15\" scale=\"0xE4E1C0\"/></low-volt-range>");
        ratings.replace("<power>",
            "<power><vlcl-power-range><level min=\"0\" max=\"4.5\" scale=\"0x44AA20\"/>"
            "</vlcl-power-range><vlcm-power-range><level min=\"0\" max=\"15\" scale=\"0xE4E1C0\"/>"
            "</vlcm-power-range><vlch-power-range><level min=\"0\" max=\"30\" "
            "scale=\"0x1C9C380\"/></vlch-power-range>");
    }
    vek::Source::resetState();
    m_info = SingleUnitModel::load(*m_root, ratings);
    QVERIFY(m_info);
    m_model = std::make_unique<ProgramStepsModel>(m_info.get());
    m_delegate = std::make_unique<ProgramStepsDelegate>(m_info.get());
    m_parent = std::make_unique<QWidget>();
    m_parent->resize(320, 240);
}

void tst_ProgramStepsDelegate::cleanup()
{
    m_parent.reset();
    m_delegate.reset();
    m_model.reset();
    m_tree.reset();
    m_info.reset();
    vek::Source::resetState();
    m_root.reset();
}

void tst_ProgramStepsDelegate::open(
    Mode::values mode, CurrentRange::values current, VoltageRange::values voltage)
{
    vek::Source::m_functionMode = mode;
    vek::Source::m_currRange = current;
    vek::Source::m_voltRange = voltage;
    m_model->setProgramObject(nullptr);
    m_tree = std::make_unique<ioc::AvlTree>();
    m_model->setProgramObject(m_tree.get());
    QCOMPARE(m_model->insertSteps(-1, 1), vek::SCPIERR_T(0));
}

zoDoubleSpinBox *tst_ProgramStepsDelegate::editor(int column)
{
    const QModelIndex index = m_model->index(0, column);
    QWidget *widget = m_delegate->createEditor(m_parent.get(), QStyleOptionViewItem(), index);
    auto *box = qobject_cast<zoDoubleSpinBox *>(widget);
    if (box) {
        m_delegate->setEditorData(box, index);
        box->setParent(m_parent.get());
    }
    return box;
}

void tst_ProgramStepsDelegate::compareToBound(const zoDoubleSpinBox *box, const BoundValue &bound)
{
    QCOMPARE(box->siPrefix(), bound.m_siPrefix);
    QCOMPARE(box->decimals(), bound.m_decimals);
    QCOMPARE(box->QDoubleSpinBox::minimum() * box->siFactor(), bound.m_min);
    QVERIFY(qFuzzyCompare(box->QDoubleSpinBox::maximum() * box->siFactor(), bound.m_max));
    QCOMPARE(box->buttonSymbols(), QAbstractSpinBox::NoButtons);
}

void tst_ProgramStepsDelegate::levelEditorFollowsModeAndRanges_data()
{
    QTest::addColumn<bool>("lowVoltageModel");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("currentRange");
    QTest::addColumn<int>("voltageRange");
    QTest::addColumn<double>("max"); // of the level, base units

    QTest::newRow("CC high") << false << int(Mode::CC) << int(CurrentRange::HIGH) << 1 << 30.0;
    QTest::newRow("CC low") << false << int(Mode::CC) << int(CurrentRange::LOW) << 1 << 0.3;
    QTest::newRow("CV high") << false << int(Mode::CV) << int(CurrentRange::HIGH) << 1 << 150.0;
    QTest::newRow("CV low") << true << int(Mode::CV) << int(CurrentRange::HIGH) << 0 << 15.0;
    QTest::newRow("CR med") << false << int(Mode::CR) << int(CurrentRange::MED) << 1 << 2.0;
    // CP follows the power range (voltage and current together), not the current range.
    QTest::newRow("CP high high") << false << int(Mode::CP) << int(CurrentRange::HIGH) << 1
                                  << 150.0;
    QTest::newRow("CP low voltage")
        << true << int(Mode::CP) << int(CurrentRange::HIGH) << 0 << 30.0;
    QTest::newRow("CP low low") << true << int(Mode::CP) << int(CurrentRange::LOW) << 0 << 4.5;
}

void tst_ProgramStepsDelegate::levelEditorFollowsModeAndRanges()
{
    QFETCH(bool, lowVoltageModel);
    QFETCH(int, mode);
    QFETCH(int, currentRange);
    QFETCH(int, voltageRange);
    QFETCH(double, max);
    if (lowVoltageModel)
        makeFixture(true);
    open(
        Mode::values(mode), CurrentRange::values(currentRange), VoltageRange::values(voltageRange));

    const zoDoubleSpinBox *box = editor(ProgramStepsModel::LevelColumn);

    QVERIFY(box);
    const BoundValue *bound = nullptr;
    switch (mode) {
    case Mode::CC:
        bound = &ModelInformation::rangeValue(m_info->currentMap(), currentRange);
        break;
    case Mode::CR:
        bound = &ModelInformation::rangeValue(m_info->conductanceMap(), currentRange);
        break;
    case Mode::CV:
        bound = &ModelInformation::rangeValue(m_info->voltageMap(), voltageRange);
        break;
    default:
        bound = &ModelInformation::rangeValue(m_info->powerMap(), voltageRange * 3 + currentRange);
        break;
    }
    compareToBound(box, *bound);
    QVERIFY(qFuzzyCompare(bound->m_max, max));
    // The editor starts at the step's level.
    QVERIFY(qFuzzyCompare(
        1.0 + box->value(), 1.0 + m_model->index(0, 0).data(Qt::EditRole).toDouble()));
}

void tst_ProgramStepsDelegate::slewRateEditorFollowsCurrentRange()
{
    open(Mode::CC, CurrentRange::HIGH, VoltageRange::HIGH);
    compareToBound(editor(ProgramStepsModel::SlewRateColumn),
        ModelInformation::rangeValue(m_info->slewRateMap(), int(CurrentRange::HIGH)));

    // A range change between two edits gives the next editor the new range's limits.
    vek::Source::m_currRange = CurrentRange::LOW;
    compareToBound(editor(ProgramStepsModel::SlewRateColumn),
        ModelInformation::rangeValue(m_info->slewRateMap(), int(CurrentRange::LOW)));
}

void tst_ProgramStepsDelegate::stepTimeEditorKeepsModelLimits()
{
    open(Mode::CC, CurrentRange::HIGH, VoltageRange::HIGH);
    zoDoubleSpinBox *box = editor(ProgramStepsModel::DwellColumn);

    QVERIFY(box);
    QCOMPARE(box->decimals(), m_info->stepTimeDecimals());
    QCOMPARE(box->QDoubleSpinBox::minimum(), m_info->stepTimeMin());
    QCOMPARE(box->QDoubleSpinBox::maximum(), m_info->stepTimeMax());
    QCOMPARE(box->QDoubleSpinBox::singleStep(), m_info->stepTimeSingleStep());

    box->setValue(m_info->stepTimeMax() * 10);
    QCOMPARE(box->value(), m_info->stepTimeMax());
    box->setValue(0.0);
    QCOMPARE(box->value(), m_info->stepTimeMin());
}

void tst_ProgramStepsDelegate::editsReachTheModel()
{
    open(Mode::CV, CurrentRange::HIGH, VoltageRange::HIGH);

    zoDoubleSpinBox *level = editor(ProgramStepsModel::LevelColumn);
    level->setValue(12.5);
    m_delegate->setModelData(level, m_model.get(), m_model->index(0, 0));
    QCOMPARE(m_model->index(0, ProgramStepsModel::LevelColumn).data(Qt::EditRole).toDouble(), 12.5);

    zoDoubleSpinBox *dwell = editor(ProgramStepsModel::DwellColumn);
    dwell->setValue(2.5);
    m_delegate->setModelData(dwell, m_model.get(), m_model->index(0, 2));
    QCOMPARE(m_model->index(0, ProgramStepsModel::DwellColumn).data(Qt::EditRole).toDouble(), 2.5);
}

void tst_ProgramStepsDelegate::otherColumnsAreLeftToTheBase()
{
    open(Mode::CC, CurrentRange::HIGH, VoltageRange::HIGH);
    QVERIFY(!editor(ProgramStepsModel::LoadColumn));
    QVERIFY(!editor(ProgramStepsModel::DigitalColumn));
}

void tst_ProgramStepsDelegate::paintHighlightsSelectedCellAndRestoresPainter()
{
    open(Mode::CC, CurrentRange::HIGH, VoltageRange::HIGH);
    QImage image(100, 20, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QPen pen(Qt::green, 3);
    painter.setPen(pen);
    painter.setBrush(Qt::blue);

    QStyleOptionViewItem option;
    option.rect = image.rect();
    option.state = QStyle::State_Selected | QStyle::State_Enabled;
    option.palette.setColor(QPalette::Highlight, QColor(200, 10, 10));
    option.font = m_parent->font();
    m_delegate->paint(&painter, option, m_model->index(0, 0));

    QCOMPARE(painter.pen(), pen);
    QCOMPARE(painter.brush(), QBrush(Qt::blue));
    QVERIFY(!painter.testRenderHint(QPainter::Antialiasing));
    painter.end();
    QCOMPARE(image.pixelColor(1, 1), QColor(200, 10, 10));
}

QTEST_MAIN(tst_ProgramStepsDelegate)
#include "tst_ProgramStepsDelegate.moc"
