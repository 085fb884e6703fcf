#include "engine/AbcMemory.h"
#include "engine/Basic.h"
#include "engine/ELoad.h"
#include "gui/source/FuncSourMemory.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/zoMessageBox.h"
#include "tests/support/PanelTestLook.h"
#include "tests/support/PowerBoard.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using Mode = KeywordBridge_CcCrCvCpArb;
using vek::ELoad;
using vek::SCPIERR_T;

namespace {

constexpr int Wait = 30000;

} // namespace

// The preset page in a 320 x 240 window over the engine root on the simulated board, the panel
// keys pressed as key events and the store question answered with Return or Escape.
class tst_FuncSourMemory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void storeAsksAndRecallMarksUntilALevelChange();
    void modeAndRangeChangesReturnToRecall();
    void keyLockOnlyRecalls();

private:
    // A panel key clicks its soft key after the key's short animation: waits for the click.
    void press(int key);
    FuncButton *softKey(int key) const;
    // Presses key and answers the question it opens with answer (Return: OK, Escape: Cancel);
    // the question's text goes to m_question.
    void pressAndAnswer(int key, int answer);
    QStringList texts() const;
    QString marked() const;
    vek::Basic *basic() const { return m_root->basic(); }

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<ELoad> m_root;
    std::unique_ptr<QWidget> m_host;
    FuncSourMemory *m_page = nullptr;
    QString m_question;
};

void tst_FuncSourMemory::initTestCase()
{
    const QString why = PanelTestLook::apply();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    vek::Source::resetState();
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_root = std::make_unique<ELoad>(ELoad::ValueObjectsHook(), 0);
    // The settings objects' queued start-up.
    QTest::qWait(200);
}

void tst_FuncSourMemory::init()
{
    QCOMPARE(basic()->setFunctionMode(Mode::CC), SCPIERR_T(0));
    m_root->presets()->reset();
    m_host = std::make_unique<QWidget>();
    m_page = new FuncSourMemory(m_host.get());
    auto *layout = new QHBoxLayout(m_host.get());
    layout->addStretch();
    layout->addWidget(m_page);
    m_host->resize(320, 240);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
}

void tst_FuncSourMemory::cleanup()
{
    m_host.reset();
}

void tst_FuncSourMemory::cleanupTestCase()
{
    m_root.reset();
    if (m_board)
        QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
}

void tst_FuncSourMemory::pressAndAnswer(int key, int answer)
{
    QString &question = m_question;
    question.clear();
    bool answered = false;
    // The question is modal: it is answered from the event loop it runs.
    const auto tryAnswer = [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<zoMessageBox *>(widget);
            if (!box || !box->isVisible())
                continue;
            for (QLabel *label : box->findChildren<QLabel *>())
                question += label->text();
            QTest::keyClick(box, Qt::Key(answer));
            answered = true;
            return;
        }
    };
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!answered)
            tryAnswer();
    });
    poll.start();
    press(key);
    QTRY_VERIFY_WITH_TIMEOUT(answered, Wait);
}

FuncButton *tst_FuncSourMemory::softKey(int key) const
{
    FuncButton *const keys[5] = { m_page->m_presetKeys[0],
        m_page->m_presetKeys[1],
        m_page->m_presetKeys[2],
        m_page->m_recallKey,
        m_page->m_storeKey };
    return keys[key - Qt::Key_F1];
}

void tst_FuncSourMemory::press(int key)
{
    // A closed question leaves no window active here.
    m_host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    QSignalSpy clicked(softKey(key), &FuncButton::clicked);
    QTest::keyClick(m_host.get(), Qt::Key(key));
    QVERIFY(clicked.size() || clicked.wait(Wait));
}

QStringList tst_FuncSourMemory::texts() const
{
    QStringList all;
    for (FuncButton *key : m_page->m_presetKeys)
        all << key->text();
    return all;
}

QString tst_FuncSourMemory::marked() const
{
    QString names;
    for (int n = 0; n < 3; ++n)
        if (m_page->m_presetKeys[n]->isChecked())
            names += QLatin1Char("ABC"[n]);
    return names;
}

void tst_FuncSourMemory::storeAsksAndRecallMarksUntilALevelChange()
{
    QCOMPARE(texts(), QStringList({ "A\n0A", "B\n0A", "C\n0A" }));
    QVERIFY(m_page->m_recallKey->isChecked());
    QCOMPARE(basic()->setRealCurrentLevel(1.5, vek::UpdateAlways), SCPIERR_T(0));

    press(Qt::Key_F5);
    QCOMPARE(texts(), QStringList({ "A...\n0A", "B...\n0A", "C\u2026\n0A" }));
    // Cancelled: still in store mode, the preset and the marks unchanged.
    pressAndAnswer(Qt::Key_F1, Qt::Key_Escape);
    QCOMPARE(m_question, QStringLiteral("Do you want to store preset memory A?"));
    QCOMPARE(texts(), QStringList({ "A...\n0A", "B...\n0A", "C\u2026\n0A" }));
    QCOMPARE(m_root->presets()->preview(0), QStringLiteral("0A"));
    QCOMPARE(marked(), QString());

    pressAndAnswer(Qt::Key_F1, Qt::Key_Return);
    QCOMPARE(texts(), QStringList({ "A\n1.5A", "B\n0A", "C\n0A" }));
    QVERIFY(m_page->m_recallKey->isChecked());
    QCOMPARE(marked(), QStringLiteral("A"));

    // The next level change unmarks; a recall applies at once and marks again.
    QCOMPARE(basic()->setRealCurrentLevel(0.5, vek::UpdateAlways), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(marked(), QString(), Wait);
    press(Qt::Key_F2);
    QCOMPARE(marked(), QStringLiteral("B"));
    QVERIFY(qAbs(basic()->getRealCurrentLevel() - 0.0) < 1e-3);
    press(Qt::Key_F1);
    QCOMPARE(marked(), QStringLiteral("A"));
    QVERIFY(qAbs(basic()->getRealCurrentLevel() - 1.5) < 1e-3);
    // A second recall before any change: one change still unmarks.
    press(Qt::Key_F2);
    QCOMPARE(marked(), QStringLiteral("B"));
    for (auto level : { &vek::Basic::setRealConductanceLevel,
             &vek::Basic::setRealVoltageLevel,
             &vek::Basic::setRealPowerLevel }) {
        press(Qt::Key_F2);
        QCOMPARE(marked(), QStringLiteral("B"));
        QCOMPARE((basic()->*level)(1.0, vek::UpdateAlways), SCPIERR_T(0));
        QTRY_COMPARE_WITH_TIMEOUT(marked(), QString(), Wait);
    }

    // Unmarking cut only the level reports: a mode change still refreshes the previews.
    QCOMPARE(basic()->setFunctionMode(Mode::CR), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(texts(), QStringList({ "A\n0S", "B\n0S", "C\n0S" }), Wait);
    QCOMPARE(basic()->setFunctionMode(Mode::CC), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(texts().first(), QStringLiteral("A\n1.5A"), Wait);
}

void tst_FuncSourMemory::modeAndRangeChangesReturnToRecall()
{
    press(Qt::Key_F5);
    QVERIFY(m_page->m_storeKey->isChecked());
    QCOMPARE(basic()->setCurrentRange(KeywordBridge_LowMedHigh::LOW), SCPIERR_T(0));
    QTRY_VERIFY_WITH_TIMEOUT(m_page->m_recallKey->isChecked(), Wait);
    QCOMPARE(texts().first(), QStringLiteral("A\n0A"));
    QCOMPARE(basic()->setCurrentRange(KeywordBridge_LowMedHigh::HIGH), SCPIERR_T(0));

    press(Qt::Key_F5);
    QCOMPARE(basic()->setFunctionMode(Mode::ARB), SCPIERR_T(0));
    QTRY_COMPARE_WITH_TIMEOUT(texts(), QStringList({ "A\n", "B\n", "C\n" }), Wait);
    QVERIFY(m_page->m_recallKey->isChecked());

    // Hidden in store mode, shown again in recall mode.
    press(Qt::Key_F5);
    m_page->hide();
    m_page->show();
    QVERIFY(m_page->m_recallKey->isChecked());
}

void tst_FuncSourMemory::keyLockOnlyRecalls()
{
    QCOMPARE(basic()->setRealCurrentLevel(2.0, vek::UpdateAlways), SCPIERR_T(0));
    QCOMPARE(m_root->presets()->store(2, *basic()), SCPIERR_T(0));
    QCOMPARE(basic()->setRealCurrentLevel(0.25, vek::UpdateAlways), SCPIERR_T(0));
    press(Qt::Key_F5);

    m_page->setKeyLockMode();
    QVERIFY(m_page->m_recallKey->isChecked());
    QCOMPARE(texts(), QStringList({ "A\n0A", "B\n0A", "C\n2A" }));
    // A disabled key takes no panel key.
    QTest::keyClick(m_host.get(), Qt::Key_F5);
    QTest::qWait(300);
    QVERIFY(m_page->m_recallKey->isChecked());
    // No question: C recalls.
    press(Qt::Key_F3);
    QVERIFY(qAbs(basic()->getRealCurrentLevel() - 2.0) < 1e-3);
    QCOMPARE(marked(), QStringLiteral("C"));

    m_page->clearKeyLockMode();
    press(Qt::Key_F5);
    QVERIFY(m_page->m_storeKey->isChecked());
}

QTEST_MAIN(tst_FuncSourMemory)
#include "tst_FuncSourMemory.moc"
