#include "commands/DictIndexNative.h"
#include "gui/shell/MeasureKeyPages.h"
#include "gui/shell/ViewAcquire.h"
#include "gui/shell/ViewData.h"
#include "gui/shell/ViewMore.h"
#include "gui/shell/ViewTrigger.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/ZOValueModel.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "instrument/ModelInformation.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOSystErrCue.h"
#include "gui/shell/HeadlessInstrument.h"
#include "tests/support/EngineFixture.h"
#include "tests/support/PanelTestLook.h"
#include "tests/support/PowerBoard.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

// A view beside its soft-key page in one active window, as the measurement screen shows them
// (the page first, as the screen builds it), so that the F keys reach the page's keys.
template <class View, class Page> struct Screen
{
    Screen()
    {
        page = new Page(&host);
        view = new View(page, &host);
        auto *layout = new QHBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        layout->addWidget(page);
        host.resize(320, 240);
        host.show();
        QApplication::setActiveWindow(&host);
    }

    bool active() { return QTest::qWaitForWindowActive(&host, 20000); }
    QTreeView *tree() const { return view->template findChild<QTreeView *>("treeView"); }
    QAbstractItemModel *model() const { return tree()->model(); }

    // The text cell of the row with the given text, searched through the whole tree.
    QModelIndex row(const QString &text, const QModelIndex &parent = {}) const
    {
        for (int r = 0; r < model()->rowCount(parent); ++r) {
            const QModelIndex name = model()->index(r, 0, parent);
            if (name.data().toString() == text)
                return name;
            const QModelIndex below = row(text, name);
            if (below.isValid())
                return below;
        }
        return {};
    }
    QModelIndex value(const QString &text) const { return row(text).siblingAtColumn(1); }
    bool editable(const QModelIndex &cell) const { return cell.flags() & Qt::ItemIsEditable; }

    // Every value cell of the tree.
    QModelIndexList valueCells(const QModelIndex &parent = {}) const
    {
        QModelIndexList cells;
        for (int r = 0; r < model()->rowCount(parent); ++r) {
            const QModelIndex name = model()->index(r, 0, parent);
            if (!model()->hasChildren(name) || name.siblingAtColumn(1).data().isValid())
                cells << name.siblingAtColumn(1);
            cells << valueCells(name);
        }
        return cells;
    }

    // Presses F2 where the panel's keys arrive, at the widget that has the focus; returns
    // whether it clicked "Edit". A key's shortcut clicks it after its 100 ms press animation;
    // a disabled key is given a second to show that it stays unclicked.
    bool pressEdit()
    {
        QSignalSpy clicked(page->m_editButton, &QAbstractButton::clicked);
        QWidget *target = QApplication::focusWidget();
        QTest::keyClick(target ? target : tree(), Qt::Key_F2);
        return clicked.wait(page->m_editButton->isEnabled() ? 20000 : 1000);
    }
    // "Edit" pressed on the current cell: its editor as an E (null when none opened).
    template <class E> E *openEditor()
    {
        return pressEdit() ? qobject_cast<E *>(editor()) : nullptr;
    }
    // "Edit" pressed again: the editor commits as on Return and closes.
    bool commit()
    {
        return pressEdit()
            && QTest::qWaitFor(
                [this] {
                    return !editor();
                },
                20000);
    }
    // The open editor: the focus is inside the tree but not on the tree itself.
    QWidget *editor() const
    {
        QWidget *focus = QApplication::focusWidget();
        return focus && focus != tree() && tree()->isAncestorOf(focus) ? focus : nullptr;
    }

    QWidget host;
    Page *page;
    View *view;
};

// The texts of a choice editor, in its order.
QStringList entries(QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// Runs press and returns the text of the first modal box seen while it runs (empty: none).
QString boxDuring(const std::function<void()> &press)
{
    QString text;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&text] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            if (QLabel *label = box->findChild<QLabel *>())
                text = label->text();
        }
    });
    poll.start(20);
    press();
    return text;
}

} // namespace

// The measurement screen's settings tree views on the instrument's own value objects and
// engine against the simulated board; settings are read back through the instrument's parser
// as a remote program would.
class tst_SettingsViews : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void textCellHandsOnToItsValueCell();
    void headingDisablesEdit();
    void editKeyOpensAndCommits_data();
    void editKeyOpensAndCommits();
    void escapeClosesTheEditorAndUnchecksEdit();
    void sourceEntriesAndPrecisionFollowTheModel_data();
    void sourceEntriesAndPrecisionFollowTheModel();
    void countEditsAsAWholeNumber();
    void refusedEditShowsItsErrorAndKeepsTheSetting();
    void transientTrigger();
    void actionKeyRefusals_data();
    void actionKeyRefusals();
    void valueLock();
    void displayItems();
    void integralKeysSendOnEveryPress_data();
    void integralKeysSendOnEveryPress();

private:
    // One program message through the instrument's parser; its answer.
    QByteArray ask(const QByteArray &message);

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<HeadlessInstrument> m_instrument;
    std::unique_ptr<DictIndexNative> m_index;
    std::unique_ptr<zo4882::ZO4882ParserDelegate> m_parser;
};

void tst_SettingsViews::initTestCase()
{
    const QString look = PanelTestLook::apply();
    if (!look.isEmpty())
        QSKIP(qPrintable(look));
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    // Engine, value objects and parser as the program builds them; no transport is started.
    m_instrument = std::make_unique<HeadlessInstrument>(0, 0);
    m_index = std::make_unique<DictIndexNative>();
    m_parser = std::make_unique<zo4882::ZO4882ParserDelegate>(zo4882::ZO4882Parser::s_pSelf.load());
    m_parser->registerDictionary(m_index.get(), zo4882::NODE_SOURCE);
    QVERIFY(ModelInformation::s_pSelf);
    QVERIFY(SettingsView::acquisition());
}

void tst_SettingsViews::init()
{
    QCOMPARE(ask("ABOR;:TRIG:ACQ:SOUR IMM;COUN 1;DEL 0;INT:STAT OFF;TIME 0.1;:SENS:APER 0.1;"
                 ":TRIG:TRAN:SOUR IMM;DEL 0;:DISP:CAP OFF;:DATA:INT:GATE NONE;ARES OFF;*CLS;*OPC?"),
        QByteArray("1\n"));
}

void tst_SettingsViews::cleanupTestCase()
{
    m_parser.reset();
    m_instrument.reset();
    if (m_board)
        QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
}

QByteArray tst_SettingsViews::ask(const QByteArray &message)
{
    m_parser->setAbort(false);
    const int n = m_parser->parse(zo4882::INTF_SOCKET, message.constData(), message.size(), 0);
    return QByteArray(m_parser->response(), n);
}

void tst_SettingsViews::textCellHandsOnToItsValueCell()
{
    Screen<ViewAcquire, FuncAcquire> s;
    QVERIFY(s.active());
    QCOMPARE(s.tree()->currentIndex(), s.value("Source"));

    // A click on a row's text.
    const QModelIndex count = s.row("Count");
    QTest::mouseClick(
        s.tree()->viewport(), Qt::LeftButton, Qt::NoModifier, s.tree()->visualRect(count).center());
    QCOMPARE(s.tree()->currentIndex(), s.value("Count"));
    QVERIFY(s.page->m_editButton->isEnabled());
    // Left from a value cell lands on the text column and comes back.
    QTest::keyClick(s.tree(), Qt::Key_Down);
    QCOMPARE(s.tree()->currentIndex(), s.value("Delay[s]"));
    QTest::keyClick(s.tree(), Qt::Key_Left);
    QCOMPARE(s.tree()->currentIndex(), s.value("Delay[s]"));
    // One row is highlighted, whatever the moves.
    QCOMPARE(s.tree()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(s.tree()->selectionModel()->selectedRows().first().row(), count.row() + 1);

    Screen<ViewData, FuncData> data;
    QVERIFY(data.active());
    QCOMPARE(data.tree()->currentIndex(), data.value("Integral Gate"));
    data.tree()->setCurrentIndex(data.row("Reset"));
    QCOMPARE(data.tree()->currentIndex(), data.value("Reset"));
}

void tst_SettingsViews::headingDisablesEdit()
{
    Screen<ViewAcquire, FuncAcquire> s;
    QVERIFY(s.active());
    QTest::mouseClick(s.tree()->viewport(),
        Qt::LeftButton,
        Qt::NoModifier,
        s.tree()->visualRect(s.row("Trigger")).center());
    QCOMPARE(s.tree()->currentIndex(), s.value("Trigger"));
    QVERIFY(!s.page->m_editButton->isEnabled());
    QVERIFY(!s.pressEdit());
    QVERIFY(!s.editor());
    QVERIFY(!s.page->m_editButton->isChecked());
    // A show refreshes "Edit" from the current cell, here as on any move.
    s.page->m_editButton->setEnabled(true);
    s.view->hide();
    s.view->show();
    QVERIFY(!s.page->m_editButton->isEnabled());

    Screen<ViewMore, FuncDisplay> more;
    QVERIFY(more.active());
    more.tree()->setCurrentIndex(more.row("Display"));
    QVERIFY(!more.page->m_editButton->isEnabled());
}

void tst_SettingsViews::editKeyOpensAndCommits_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QByteArray>("answer");

    QTest::newRow("digital2") << "2: DIGITAL2" << QByteArray("DIGITAL2\n");
    QTest::newRow("m-sync") << "3: MSync" << QByteArray("MSYN\n");
    QTest::newRow("talink") << "4: TALink" << QByteArray("TAL\n");
    QTest::newRow("load off") << "5: Load Off" << QByteArray("LOADOFF\n");
    QTest::newRow("bus") << "1: BUS" << QByteArray("BUS\n");
}

void tst_SettingsViews::editKeyOpensAndCommits()
{
    QFETCH(QString, choice);
    QFETCH(QByteArray, answer);

    Screen<ViewAcquire, FuncAcquire> s;
    QVERIFY(s.active());
    QCOMPARE(s.tree()->currentIndex(), s.value("Source"));
    auto *combo = s.openEditor<QComboBox>();
    QVERIFY(combo);
    QVERIFY(s.page->m_editButton->isChecked());
    QCOMPARE(combo->currentText(), QStringLiteral("0: Immediate"));
    combo->setCurrentIndex(combo->findText(choice));
    QCOMPARE(combo->currentText(), choice);

    // The second press commits as Return; the focus is back in the tree, the key unchecked.
    QVERIFY(s.commit());
    QTRY_VERIFY_WITH_TIMEOUT(!s.page->m_editButton->isChecked(), 10000);
    QVERIFY(s.tree()->hasFocus());
    QCOMPARE(ask("TRIG:ACQ:SOUR?"), answer);
    QCOMPARE(s.value("Source").data().toString(), choice);
    QCOMPARE(ask("SYST:ERR?"), QByteArray("+0,\"No error\"\n"));
}

void tst_SettingsViews::escapeClosesTheEditorAndUnchecksEdit()
{
    Screen<ViewData, FuncData> s;
    QVERIFY(s.active());
    auto *combo = s.openEditor<QComboBox>();
    QVERIFY(combo);
    QVERIFY(s.page->m_editButton->isChecked());
    QCOMPARE(entries(combo), QStringList({ "0: None", "1: Load On", "2: Program Run" }));
    combo->setCurrentIndex(2);
    QTest::keyClick(combo, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!s.editor(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!s.page->m_editButton->isChecked(), 10000);
    QCOMPARE(ask("DATA:INT:GATE?"), QByteArray("NONE\n"));

    // The child row edits too.
    QTest::keyClick(s.tree(), Qt::Key_Down);
    QCOMPARE(s.tree()->currentIndex(), s.value("Reset"));
    combo = s.openEditor<QComboBox>();
    QVERIFY(combo);
    QCOMPARE(entries(combo), QStringList({ "0: Manual", "1: Auto" }));
    combo->setCurrentIndex(1);
    QVERIFY(s.commit());
    QCOMPARE(ask("DATA:INT:GATE:ARES?"), QByteArray("1\n"));
}

void tst_SettingsViews::sourceEntriesAndPrecisionFollowTheModel_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<int>("sources");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("step");

    const QByteArray exTrigger = "<ioc-trig-acquire-ex-function enable=\"1\"/>";
    const QByteArray meas =
        "<meas-function min=\"0.0002\" max=\"1\" decimals=\"4\" singlestep=\"0.0002\"/>";
    QTest::newRow("the board's model") << QByteArray() << QByteArray() << 6 << 4 << 0.0002;
    QTest::newRow("no extended trigger") << exTrigger << QByteArray() << 5 << 4 << 0.0002;
    QTest::newRow("no precision given")
        << meas << QByteArray("<meas-function min=\"0.0002\" max=\"1\"/>") << 6 << 4 << 0.0002;
    QTest::newRow("finer precision")
        << meas
        << QByteArray(
               "<meas-function min=\"0.0002\" max=\"1\" decimals=\"5\" singlestep=\"0.00005\"/>")
        << 6 << 5 << 0.00005;
}

void tst_SettingsViews::sourceEntriesAndPrecisionFollowTheModel()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(int, sources);
    QFETCH(int, decimals);
    QFETCH(double, step);

    // The view reads the model information once, when it is built: a model read from an
    // edited model file stands in for the instrument's while it is.
    QFile file(m_board->root() + QStringLiteral("/usr/bin/model.info"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();
    file.close();
    QByteArray edited = original;
    edited.replace(from, to);
    QVERIFY(from.isEmpty() || edited != original);
    ModelInformation *const instrumentModel = ModelInformation::s_pSelf;
    auto restore = qScopeGuard([&] {
        ModelInformation::s_pSelf = instrumentModel;
        QFile back(file.fileName());
        if (!back.open(QIODevice::WriteOnly) || back.write(original) != original.size())
            qWarning("the board's model file could not be restored");
    });
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(edited), edited.size());
    file.close();
    std::unique_ptr<Screen<ViewAcquire, FuncAcquire>> s;
    {
        ModelInformation model([] {
            ioc::MODELS_INFO report;
            report.modelCode = 4101;
            return report;
        });
        QCOMPARE(model.modelNames().size(), 1);
        s = std::make_unique<Screen<ViewAcquire, FuncAcquire>>();
    }
    // Its destructor cleared the instance.
    ModelInformation::s_pSelf = instrumentModel;
    QVERIFY(s->active());

    auto *combo = s->openEditor<QComboBox>();
    QVERIFY(combo);
    QStringList expected {
        "0: Immediate", "1: BUS", "2: DIGITAL2", "3: MSync", "4: TALink", "5: Load Off"
    };
    QCOMPARE(entries(combo), expected.mid(0, sources));
    QVERIFY(s->commit());

    for (const char *row : { "Delay[s]", "Interval Time[s]", "Sense Aperture[s]" }) {
        s->tree()->setCurrentIndex(s->value(row));
        auto *spin = s->openEditor<zoDoubleSpinBox>();
        QVERIFY2(spin, row);
        QCOMPARE(spin->decimals(), decimals);
        QCOMPARE(spin->singleStep(), step);
        QTest::keyClick(spin, Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!s->editor(), 10000);
    }
}

void tst_SettingsViews::countEditsAsAWholeNumber()
{
    Screen<ViewAcquire, FuncAcquire> s;
    QVERIFY(s.active());
    s.tree()->setCurrentIndex(s.value("Count"));
    auto *spin = s.openEditor<zoDoubleSpinBox>();
    QVERIFY(spin);
    QCOMPARE(spin->decimals(), 0);
    QCOMPARE(spin->singleStep(), 1.0);
    // The range the acquisition takes.
    QCOMPARE(spin->minimum(), 1.0);
    QCOMPARE(spin->maximum(), 65536.0);
    spin->setValue(65536);
    QVERIFY(s.commit());
    QCOMPARE(ask("TRIG:ACQ:COUN?").trimmed().toInt(), 65536);

    spin = s.openEditor<zoDoubleSpinBox>();
    QVERIFY(spin);
    spin->setValue(25);
    QVERIFY(s.commit());
    QCOMPARE(ask("TRIG:ACQ:COUN?").trimmed().toInt(), 25);
}

void tst_SettingsViews::refusedEditShowsItsErrorAndKeepsTheSetting()
{
    // An acquisition waiting for a bus trigger refuses a new count.
    ask("TRIG:ACQ:SOUR BUS;:INIT:ACQ");
    QCOMPARE(ask("SYST:ERR?"), QByteArray("+0,\"No error\"\n"));
    Screen<ViewAcquire, FuncAcquire> s;
    QVERIFY(s.active());
    s.tree()->setCurrentIndex(s.value("Count"));
    auto *spin = s.openEditor<zoDoubleSpinBox>();
    QVERIFY(spin);
    spin->setValue(7);
    QCOMPARE(boxDuring([&s] {
        QVERIFY(s.pressEdit());
        QTRY_VERIFY_WITH_TIMEOUT(!s.editor(), 20000);
    }),
        QStringLiteral("Setting conflicts while MEASure is in progress"));
    QVERIFY(!s.page->m_editButton->isChecked());
    QCOMPARE(s.value("Count").data().toInt(), 1);
    QCOMPARE(ask("ABOR;:TRIG:ACQ:COUN?").trimmed().toInt(), 1);

    // With its window active again the tree has the focus and "Edit" opens an editor.
    QApplication::setActiveWindow(&s.host);
    QVERIFY(s.active());
    QTRY_VERIFY_WITH_TIMEOUT(s.tree()->hasFocus(), 20000);
    QVERIFY(s.openEditor<zoDoubleSpinBox>());
    QVERIFY(s.page->m_editButton->isChecked());
}

void tst_SettingsViews::transientTrigger()
{
    Screen<ViewTrigger, FuncProgTrigger> s;
    QVERIFY(s.active());
    QCOMPARE(s.tree()->currentIndex(), s.value("Source"));
    auto *combo = s.openEditor<QComboBox>();
    QVERIFY(combo);
    QCOMPARE(entries(combo), QStringList({ "0: Immediate", "1: BUS", "2: DIGITAL2", "3: MSync" }));
    combo->setCurrentIndex(3);
    QVERIFY(s.commit());
    QCOMPARE(ask("TRIG:TRAN:SOUR?"), QByteArray("MSYN\n"));

    QTest::keyClick(s.tree(), Qt::Key_Down);
    QCOMPARE(s.tree()->currentIndex(), s.value("Delay[s]"));
    auto *spin = s.openEditor<zoDoubleSpinBox>();
    QVERIFY(spin);
    QCOMPARE(spin->decimals(), 6);
    QCOMPARE(spin->singleStep(), 0.000001);
    spin->setValue(0.000123);
    QVERIFY(s.commit());
    QCOMPARE(ask("TRIG:TRAN:DEL?").trimmed().toDouble(), 0.000123);
}

void tst_SettingsViews::actionKeyRefusals_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");

    QTest::newRow("*TRG while idle") << QByteArray() << "*TRG"
                                     << "Init ignored";
    QTest::newRow("m-sync without a link") << QByteArray() << "MSync"
                                           << "Mutual-sync is not established";
    QTest::newRow("m-sync without a link, initiated")
        << QByteArray("TRIG:ACQ:SOUR BUS;:INIT:ACQ") << "MSync"
        << "Mutual-sync is not established";
    QTest::newRow("initiate twice") << QByteArray("TRIG:ACQ:SOUR BUS;:INIT:ACQ") << "Initiate"
                                    << "Init ignored";
    QTest::newRow("settings conflict")
        << QByteArray("TRIG:ACQ:INT:STAT ON;TIME 0.01;:SENS:APER 0.1") << "Initiate"
        << "Settings conflict";
    QTest::newRow("abort") << QByteArray("TRIG:ACQ:SOUR BUS;:INIT:ACQ") << "Abort"
                           << "";
    QTest::newRow("abort while idle") << QByteArray() << "Abort"
                                      << "";
}

void tst_SettingsViews::actionKeyRefusals()
{
    QFETCH(QByteArray, setup);
    QFETCH(QString, key);
    QFETCH(QString, text);

    if (!setup.isEmpty()) {
        ask(setup);
        QCOMPARE(ask("SYST:ERR?"), QByteArray("+0,\"No error\"\n"));
    }
    Screen<ViewAcquire, FuncAcquire> s;
    QVERIFY(s.active());
    FuncButton *button = key == "*TRG" ? s.page->m_triggerButton
        : key == "MSync"               ? s.page->m_msyncButton
        : key == "Initiate"            ? s.page->m_initiateButton
                                       : s.page->m_abortButton;
    QCOMPARE(button->text(), key);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(boxDuring([button] {
        button->click();
    }),
        text);
    // The box closes itself after 2 s; the key's handler returns when it has.
    if (!text.isEmpty())
        QVERIFY2(clock.elapsed() >= 1500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_SettingsViews::valueLock()
{
    Screen<ViewAcquire, FuncAcquire> s;
    QVERIFY(s.active());
    const QModelIndexList cells = s.valueCells();
    QCOMPARE(cells.size(), 6);

    s.view->setValueLock(true);
    s.view->setValueLock(true);
    for (const QModelIndex &cell : cells)
        QVERIFY2(!s.editable(cell), qPrintable(cell.siblingAtColumn(0).data().toString()));
    // Neither a key on a value cell nor "Edit" opens an editor.
    s.tree()->setCurrentIndex(s.value("Count"));
    QTest::keyClick(s.tree(), Qt::Key_5);
    QVERIFY(!s.editor());
    s.page->m_editButton->click();
    QVERIFY(!s.editor());
    QVERIFY(!s.page->m_editButton->isChecked());
    QCOMPARE(ask("TRIG:ACQ:COUN?").trimmed().toInt(), 1);

    // One unlock undoes a lock set twice.
    s.view->setValueLock(false);
    for (const QModelIndex &cell : cells)
        QVERIFY2(s.editable(cell), qPrintable(cell.siblingAtColumn(0).data().toString()));
    s.view->setValueLock(false);
    QVERIFY(s.editable(s.value("Source")));
}

void tst_SettingsViews::displayItems()
{
    Screen<ViewMore, FuncDisplay> s;
    QVERIFY(s.active());
    QCOMPARE(s.tree()->currentIndex(), s.value("Elapsed Time"));
    QCOMPARE(s.value("Capacity").data().toString(), QStringLiteral("0: Disable"));
    // A remote change is read at the next repaint.
    QCOMPARE(ask("DISP:CAP ON;*OPC?"), QByteArray("1\n"));
    QCOMPARE(s.value("Capacity").data().toString(), QStringLiteral("1: Enable"));

    // And the view's edit reaches the remote side.
    s.tree()->setCurrentIndex(s.value("Energy"));
    auto *combo = s.openEditor<QComboBox>();
    QVERIFY(combo);
    QCOMPARE(entries(combo), QStringList({ "0: Disable", "1: Enable" }));
    combo->setCurrentIndex(1);
    QVERIFY(s.commit());
    QCOMPARE(ask("DISP:ENER?"), QByteArray("1\n"));
    QCOMPARE(ask("DISP:ENER OFF;*OPC?"), QByteArray("1\n"));
}

void tst_SettingsViews::integralKeysSendOnEveryPress_data()
{
    QTest::addColumn<QByteArray>("gate");
    QTest::newRow("none") << QByteArray("NONE");
    QTest::newRow("load on") << QByteArray("LOAD_ON");
    QTest::newRow("program run") << QByteArray("PROG_RUN");
}

void tst_SettingsViews::integralKeysSendOnEveryPress()
{
    QFETCH(QByteArray, gate);

    QCOMPARE(ask("DATA:INT:GATE " + gate + ";*OPC?"), QByteArray("1\n"));
    Screen<ViewData, FuncData> s;
    QVERIFY(s.active());
    QCOMPARE(s.value("Integral Gate").data().toString().left(1),
        QString::number(gate == "NONE" ? 0
                : gate == "LOAD_ON"    ? 1
                                       : 2));

    const struct
    {
        FuncButton *key;
        quint32 bit;
    } keys[] = {
        { s.page->m_startButton, 0x1000000 },
        { s.page->m_stopButton, 0x2000000 },
        { s.page->m_resetButton, 0x4000000 },
    };
    // Each press reaches the board: the program group's command word carries the key's bit.
    auto sent = [this](quint32 bit) {
        int n = 0;
        for (quint32 word :
            EngineFixture::writesTo(m_board->log(), EngineFixture::ProgramGroupAddress, 1))
            n += (word & bit) ? 1 : 0;
        return n;
    };
    for (const auto &k : keys) {
        QVERIFY(m_board->clearLog());
        for (int press = 1; press <= 2; ++press) {
            k.key->click();
            QTRY_COMPARE_WITH_TIMEOUT(sent(k.bit), press, 20000);
        }
    }
}

QTEST_MAIN(tst_SettingsViews)
#include "tst_SettingsViews.moc"
