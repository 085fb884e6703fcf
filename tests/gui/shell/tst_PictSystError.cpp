#include "commands/SystErrCustom.h"
#include "engine/ELoad.h"
#include "gui/shell/PictMeasure.h"
#include "gui/shell/PictSystError.h"
#include "gui/shell/Vek3r.h"
#include "gui/system/SystemKeyPages.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/ScpiErrorModel.h"
#include "gui/toolkit/zoMessageBox.h"
#include "remote/ZOSystErrCue.h"
#include "tests/support/HeadlessParser.h"
#include "tests/support/PanelTestLook.h"

#include <QLabel>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <memory>

using zo4882::s_systErrCue;

namespace {

// Answers the next message box once it is up: the given key pressed on it, or accepted (0).
class BoxAnswer
{
public:
    explicit BoxAnswer(int key)
    {
        m_poll.setInterval(5);
        QObject::connect(&m_poll, &QTimer::timeout, [this, key] {
            auto *box = qobject_cast<zoMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            m_poll.stop();
            text = box->findChild<QLabel *>()->text();
            if (key)
                QTest::keyClick(box, Qt::Key(key));
            else
                box->accept();
        });
        m_poll.start();
    }

    QString text; // the box's message

private:
    QTimer m_poll;
};

} // namespace

// The error list as the panel shows it, over the instrument's engine, parser and error hook;
// the hook's notifications reach the screen queued, as the main window relays them.
class tst_PictSystError : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void listFollowsClientErrors();
    void overflowResetsTheListAndKeepsClear();
    void clearEmptiesTheList();
    void errorsFromBeforeTheScreenCanBeCleared();
    void resetAsksFirst_data();
    void resetAsksFirst();
    void resetWithoutEngineAnswersAnError();
    void mainWindowResetsThroughTheEngineRoot();

private:
    void makeScreen(PictSystError::ResetSettings reset);
    void send(const QByteArray &message, int times = 1);
    bool clearEnabled() const { return m_screen->keys()->m_clearButton->isEnabled(); }

    HeadlessParser m_parser;
    std::unique_ptr<SystErrCustom> m_hook;
    std::unique_ptr<PictSystError> m_screen;
    int m_resets = 0;
};

void tst_PictSystError::initTestCase()
{
    const QString look = PanelTestLook::apply();
    QVERIFY2(look.isEmpty(), qPrintable(look));
    const QString problem = m_parser.start();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    auto post = [this](const char *slot) {
        if (m_screen)
            QMetaObject::invokeMethod(m_screen.get(), slot, Qt::QueuedConnection);
    };
    m_hook = std::make_unique<SystErrCustom>(
        nullptr,
        [post] {
            post("onScpiErrorQueue");
        },
        [post] {
            post("onScpiErrorDecue");
        });
    s_systErrCue.setHook(m_hook.get());
}

void tst_PictSystError::init()
{
    s_systErrCue.clear();
    m_resets = 0;
    makeScreen([this] {
        ++m_resets;
        return short(0);
    });
}

void tst_PictSystError::cleanup()
{
    m_screen.reset();
}

void tst_PictSystError::cleanupTestCase()
{
    s_systErrCue.setHook(nullptr);
}

void tst_PictSystError::makeScreen(PictSystError::ResetSettings reset)
{
    m_screen = std::make_unique<PictSystError>(nullptr, std::move(reset));
    m_screen->resize(320, 240);
    m_screen->show();
    QApplication::setActiveWindow(m_screen.get());
}

// Runs the messages as the parser thread would, then lets the relayed notifications arrive.
void tst_PictSystError::send(const QByteArray &message, int times)
{
    for (int i = 0; i < times; ++i)
        m_parser.query(message);
    QCoreApplication::processEvents();
}

void tst_PictSystError::listFollowsClientErrors()
{
    QTableView *table = m_screen->table();
    QVERIFY(!clearEnabled());
    QVERIFY(m_screen->keys()->m_rstButton->isEnabled());
    QCOMPARE(table->model()->rowCount(), 0);

    send("CURR 9999");
    QVERIFY(clearEnabled());
    QCOMPARE(table->model()->rowCount(), 1);
    QCOMPARE(table->model()->index(0, 1).data().toString(),
        QStringLiteral("Data out of range; CURR 9999"));
    send("FUNC NONE");
    QCOMPARE(table->model()->rowCount(), 2);
    QCOMPARE(table->columnWidth(1), 175);

    QCOMPARE(m_parser.query("SYST:ERR?"), QByteArray("-222,\"Data out of range;CURR 9999\""));
    QCoreApplication::processEvents();
    QVERIFY(clearEnabled());
    QCOMPARE(table->model()->rowCount(), 1);
    send("SYST:ERR?");
    QVERIFY(!clearEnabled());
    QCOMPARE(table->model()->rowCount(), 0);
}

void tst_PictSystError::overflowResetsTheListAndKeepsClear()
{
    send("CURR 9999", 3);
    QSignalSpy reset(m_screen->model(), &QAbstractItemModel::modelReset);
    send("CURR 9999", 14);
    QCOMPARE(reset.size(), 1);
    QVERIFY(clearEnabled());
    QCOMPARE(m_screen->model()->rowCount(), 16);
    QCOMPARE(m_screen->model()->index(15, 0).data().toInt(), -350);
}

void tst_PictSystError::clearEmptiesTheList()
{
    send("CURR 9999", 2);
    QSignalSpy decued(m_screen.get(), &PictSystError::scpiErrorDecued);
    m_screen->keys()->m_clearButton->click();
    QCOMPARE(decued.size(), 1);
    QVERIFY(!clearEnabled());
    QCOMPARE(m_screen->model()->rowCount(), 0);
    QVERIFY(s_systErrCue.isEmpty());
    QCOMPARE(m_parser.query("SYST:ERR?"), QByteArray("+0,\"No error\""));
    // The queue's own notification of the emptying changes nothing more.
    QCoreApplication::processEvents();
    QVERIFY(!clearEnabled());
}

void tst_PictSystError::errorsFromBeforeTheScreenCanBeCleared()
{
    m_screen.reset();
    m_parser.query("CURR 9999");
    makeScreen({});
    QCoreApplication::processEvents();
    QCOMPARE(m_screen->model()->rowCount(), 1);
    QVERIFY(clearEnabled());
}

void tst_PictSystError::resetAsksFirst_data()
{
    QTest::addColumn<int>("errors");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("resets");
    QTest::addColumn<int>("rowsAfter");
    QTest::newRow("cancel") << 2 << int(Qt::Key_Escape) << 0 << 2;
    QTest::newRow("ok") << 2 << 0 << 1 << 0;
    QTest::newRow("ok, empty list") << 0 << 0 << 1 << 0;
}

void tst_PictSystError::resetAsksFirst()
{
    QFETCH(int, errors);
    QFETCH(int, answer);
    QFETCH(int, resets);
    QFETCH(int, rowsAfter);
    send("CURR 9999", errors);
    QSignalSpy decued(m_screen.get(), &PictSystError::scpiErrorDecued);
    BoxAnswer question(answer);
    m_screen->keys()->m_rstButton->click();
    QCOMPARE(question.text, QStringLiteral("Some of the settings will be reset.\n"));
    QCOMPARE(m_resets, resets);
    QCOMPARE(m_screen->model()->rowCount(), rowsAfter);
    QCOMPARE(s_systErrCue.count(), rowsAfter);
    QCOMPARE(decued.size(), errors && resets ? 1 : 0);
    QCOMPARE(clearEnabled(), rowsAfter > 0);
}

void tst_PictSystError::resetWithoutEngineAnswersAnError()
{
    makeScreen(PictSystError::ResetSettings());
    send("CURR 9999");
    BoxAnswer information(0);
    m_screen->keys()->m_rstButton->click();
    QCOMPARE(information.text, s_systErrCue.getMessage(-200));
    QCOMPARE(m_screen->model()->rowCount(), 1);
    QVERIFY(clearEnabled());
}

// In the main window, as the instrument's error hook notifies it: the list and the home screen's
// badge follow the queue, "Clear" and "*RST" empty both, and "*RST" resets the settings as the
// remote *RST does.
void tst_PictSystError::mainWindowResetsThroughTheEngineRoot()
{
    vek::ELoad *root = vek::ELoad::s_pSelf;
    QVERIFY(root);
    PanelEngine engine;
    engine.basic = root->basic();
    engine.status = root->status();
    engine.model = root->info();
    engine.logger = root->logger();
    engine.acquire = root->acquire();
    engine.root = root;
    Vek3r window(engine);
    SystErrCustom windowHook(nullptr, &Vek3r::notifyScpiErrorQueued, &Vek3r::notifyScpiErrorDecued);
    s_systErrCue.setHook(&windowHook);
    const auto restoreHook = qScopeGuard([this] {
        s_systErrCue.setHook(m_hook.get());
    });
    auto *list = window.findChild<PictSystError *>();
    QVERIFY(list);
    QLabel *badge = window.findChild<QLabel *>(QStringLiteral("infoError"));
    QVERIFY(badge);

    send("CURR 9999");
    QTRY_VERIFY_WITH_TIMEOUT(!badge->isHidden(), 10000);
    QCOMPARE(list->model()->rowCount(), 1);
    list->keys()->m_clearButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(badge->isHidden(), 10000);
    QCOMPARE(list->model()->rowCount(), 0);

    QCOMPARE(m_parser.query("CURR:SST 0.005;:CURR:SST?"), QByteArray("+5.00000E-03"));
    send("CURR 9999");
    QTRY_VERIFY_WITH_TIMEOUT(!badge->isHidden(), 10000);
    BoxAnswer question(0);
    list->keys()->m_rstButton->click();
    QCOMPARE(question.text, QStringLiteral("Some of the settings will be reset.\n"));
    QVERIFY(m_parser.query("CURR:SST?") != QByteArray("+5.00000E-03"));
    QCOMPARE(list->model()->rowCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(badge->isHidden(), 10000);
    QCOMPARE(m_parser.query("SYST:ERR?"), QByteArray("+0,\"No error\""));
}

QTEST_MAIN(tst_PictSystError)
#include "tst_PictSystError.moc"
