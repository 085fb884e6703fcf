#include "gui/shell/MeasureKeyPages.h"

#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/SoftKeyParts.h"

#include <QVBoxLayout>

namespace {

using namespace softkeys;

// Pages taller than this would push the measurement screen's keys off the panel.
constexpr int PageHeight = 215;
constexpr int KeyWidth = 60;

// Colours by the numbering FuncWidget and FuncButton share.
FuncButton *styled(FuncButton *button, int colour, int colour2)
{
    button->setStyle(FuncButton::Color(colour), FuncButton::Row, FuncButton::Color(colour2));
    return button;
}

void limitHeight(QWidget *page)
{
    page->setMaximumSize(QWIDGETSIZE_MAX, PageHeight);
}

} // namespace

FuncSourMore::FuncSourMore(QWidget *parent)
    : FuncWidget(parent)
{
    m_layout->addWidget(blank(this));
    m_editButton = key(this, tr("Edit"), Qt::Key_F2);
    m_syncEnableButton = key(this, tr("Sync\nEnable"), Qt::Key_F3);
    m_loadOnButton = key(this, tr("Load\nOn"), Qt::Key_F4, false);
    m_loadOffButton = key(this, tr("Load\nOff"), Qt::Key_F5, false);
    m_loadOnButton->setEnabled(false);
    m_loadOffButton->setEnabled(false);
    for (QWidget *w : { m_editButton, m_syncEnableButton, m_loadOnButton, m_loadOffButton })
        m_layout->addWidget(w);
    setStyle(Blue, Row, NoColor);
}

// The single "Edit" key of the trigger and spare pages.
static FuncButton *editOnlyPage(FuncWidget *page, QVBoxLayout *layout, const QString &text)
{
    FuncButton *edit = key(page, text, Qt::Key_F2);
    layout->addWidget(blank(page));
    layout->addWidget(edit);
    for (int i = 0; i < 3; ++i)
        layout->addWidget(blank(page));
    return edit;
}

FuncProgTrigger::FuncProgTrigger(QWidget *parent)
    : FuncWidget(parent)
    , m_editButton(editOnlyPage(this, m_layout, tr("Edit")))
{
    setStyle(Green, Row, NoColor);
}

FuncMore::FuncMore(QWidget *parent)
    : FuncWidget(parent)
    , m_editButton(editOnlyPage(this, m_layout, tr("Edit")))
{
    setStyle(Red, Row, NoColor);
}

FuncSourPulse::FuncSourPulse(QWidget *parent)
    : FuncWidget(parent)
{
    m_pulseOffButton = styled(key(this, tr("Pulse\nOff"), Qt::Key_F1), Blue, Blue);
    m_keyGroup = group(this, 5);
    m_currentGroup = group(m_keyGroup, 0);
    m_depthGroup = group(m_keyGroup, 0);
    m_frequencyGroup = group(m_keyGroup, 0);
    m_dutyGroup = group(m_keyGroup, 0);

    // The pairs, F2 to F5; the text's leading dot is U+00B7.
    const struct
    {
        GroupFunc *keys;
        int panelKey;
        FuncButton **first;
        QString firstText;
        FuncButton::Color firstColour;
        FuncButton **second;
        QString secondText;
        FuncButton::Color secondColour;
    } pairs[] = {
        { m_currentGroup,
            Qt::Key_F2,
            &m_currentButton,
            tr("Current"),
            FuncButton::Pink,
            &m_slewRateButton,
            tr("Slew Rate"),
            FuncButton::Blue },
        { m_depthGroup,
            Qt::Key_F3,
            &m_depthAmpereButton,
            tr("\u00b7Depth[A]"),
            FuncButton::Green,
            &m_depthPercentButton,
            tr("\u00b7Depth[%]"),
            FuncButton::Orange },
        { m_frequencyGroup,
            Qt::Key_F4,
            &m_frequencyButton,
            tr("\u00b7Freq[Hz]"),
            FuncButton::Yellow,
            &m_periodButton,
            tr("\u00b7Period[s]"),
            FuncButton::Yellow },
        { m_dutyGroup,
            Qt::Key_F5,
            &m_dutyButton,
            tr("\u00b7Duty[%]"),
            FuncButton::Purple,
            &m_timeHighButton,
            tr("\u00b7Th[s]"),
            FuncButton::Purple },
    };
    for (const auto &pair : pairs) {
        *pair.first = styled(key(pair.keys, pair.firstText), Blue, pair.firstColour);
        *pair.second = styled(key(pair.keys, pair.secondText), Blue, pair.secondColour);
        for (FuncButton *half : { *pair.first, *pair.second }) {
            half->setMinimumHeight(19);
            half->setMaximumSize(KeyWidth, 19);
            addTo(pair.keys, half);
        }
        pair.keys->setShortcut(QKeySequence(pair.panelKey));
        addTo(m_keyGroup, pair.keys);
    }
    m_currentButton->setMaximumSize(KeyWidth, 60);

    for (FuncButton *button : { m_pulseOffButton,
             m_currentButton,
             m_slewRateButton,
             m_depthAmpereButton,
             m_depthPercentButton,
             m_frequencyButton,
             m_periodButton,
             m_dutyButton,
             m_timeHighButton })
        button->setFont(keyFont(7));
    m_layout->addWidget(m_pulseOffButton);
    m_layout->addWidget(m_keyGroup);
    limitHeight(this);
}

FuncSourSine::FuncSourSine(QWidget *parent)
    : FuncWidget(parent)
{
    m_sineOffButton = styled(key(this, tr("Sine\nOff"), Qt::Key_F1), Blue, Blue);
    m_keyGroup = group(this, 5);
    m_currentButton = styled(key(m_keyGroup, tr("Current"), Qt::Key_F2), Blue, Pink);
    m_amplitudeButton = styled(key(m_keyGroup, tr("Amplitude"), Qt::Key_F3), Blue, Green);
    m_frequencyButton = styled(key(m_keyGroup, tr("Frequency"), Qt::Key_F4), Blue, Yellow);
    for (FuncButton *button : { m_currentButton, m_amplitudeButton, m_frequencyButton })
        addTo(m_keyGroup, button);
    for (FuncButton *button :
        { m_sineOffButton, m_currentButton, m_amplitudeButton, m_frequencyButton })
        button->setFont(keyFont(7));
    m_layout->addWidget(m_sineOffButton);
    m_layout->addWidget(m_keyGroup);
    m_layout->addWidget(blank(this));
    limitHeight(this);
}

FuncAcquire::FuncAcquire(QWidget *parent)
    : FuncWidget(parent)
{
    m_initiateButton = styled(key(this, tr("Initiate"), Qt::Key_F1, false), Red, Blue);
    m_editButton = styled(key(this, tr("Edit"), Qt::Key_F2), Red, NoColor);
    m_abortButton = styled(key(this, tr("Abort"), Qt::Key_F3, false), Red, Pink);
    m_msyncButton = styled(key(this, tr("MSync"), Qt::Key_F4, false), Red, Green);
    m_triggerButton = styled(key(this, tr("*TRG"), Qt::Key_F5, false), Red, Yellow);
    for (QWidget *w :
        { m_initiateButton, m_editButton, m_abortButton, m_msyncButton, m_triggerButton })
        m_layout->addWidget(w);
    limitHeight(this);
}

FuncData::FuncData(QWidget *parent)
    : FuncWidget(parent)
{
    m_editButton = styled(key(this, tr("Edit"), Qt::Key_F2), Red, NoColor);
    m_startButton = styled(key(this, tr("Start"), Qt::Key_F3, false), Red, Blue);
    m_stopButton = styled(key(this, tr("Stop"), Qt::Key_F4, false), Red, Pink);
    m_resetButton = styled(key(this, tr("Reset"), Qt::Key_F5, false), Red, Green);
    m_layout->addWidget(blank(this));
    for (QWidget *w : { m_editButton, m_startButton, m_stopButton, m_resetButton })
        m_layout->addWidget(w);
    limitHeight(this);
}

FuncDisplay::FuncDisplay(QWidget *parent)
    : FuncWidget(parent)
{
    m_editButton = styled(key(this, tr("Edit"), Qt::Key_F2), Red, NoColor);
    GroupFunc *views = group(this, 0);
    m_tableButton = styled(key(views, tr("Table"), Qt::Key_F3), Red, Blue);
    m_chartButton = styled(key(views, tr("Chart"), Qt::Key_F4), Red, Green);
    for (FuncButton *button : { m_tableButton, m_chartButton }) {
        button->setMinimumHeight(42);
        button->setMaximumSize(KeyWidth, 42);
        addTo(views, button);
    }
    m_layout->addWidget(blank(this));
    m_layout->addWidget(m_editButton);
    m_layout->addWidget(views);
    m_layout->addWidget(blank(this));
    setStyle(Red, Row, NoColor);
    limitHeight(this);
}

FuncProgExecute::FuncProgExecute(QWidget *parent)
    : FuncWidget(parent)
{
    m_initiateButton = styled(key(this, tr("Initiate"), Qt::Key_F1, false), Green, Blue);
    m_abortButton = styled(key(this, tr("Abort"), Qt::Key_F2, false), Green, Pink);
    m_suspendButton = styled(key(this, tr("Suspend"), Qt::Key_F3, false), Green, Yellow);
    m_resumeButton = styled(key(this, tr("Resume"), Qt::Key_F4, false), Green, Green);
    m_msyncButton = styled(key(this, tr("MSync"), Qt::Key_F5, false), Green, Orange);
    for (QWidget *w :
        { m_initiateButton, m_abortButton, m_suspendButton, m_resumeButton, m_msyncButton })
        m_layout->addWidget(w);
    limitHeight(this);
}

void FuncProgExecute::setState(state state)
{
    // An empty text also drops the panel key; it comes back only with a text.
    m_msyncButton->setText(QString());
    if (state == StateWaitMSync || state == StateWaitTrigger) {
        m_msyncButton->setText(state == StateWaitMSync ? tr("MSync") : tr("Trigger"));
        m_msyncButton->setShortcut(Qt::Key_F5);
    }
    struct Enabled
    {
        bool initiate, abort, suspend, resume, f5;
    };
    static const Enabled table[] = {
        { true, false, false, false, false }, // StateIdle
        { false, true, true, false, false }, // StateRun
        { false, true, false, true, false }, // StatePause
        { false, true, false, false, true }, // StateWaitMSync
        { false, true, false, false, true }, // StateWaitTrigger
        { false, true, false, false, false }, // StateAbortOnly
    };
    const bool known = state >= StateIdle && state <= StateAbortOnly;
    const Enabled keys = known ? table[state] : Enabled { false, false, false, false, false };
    m_initiateButton->setEnabled(keys.initiate);
    m_abortButton->setEnabled(keys.abort);
    m_suspendButton->setEnabled(keys.suspend);
    m_resumeButton->setEnabled(keys.resume);
    m_msyncButton->setEnabled(keys.f5);
}

bool FuncProgExecute::isMSyncState() const
{
    return m_msyncButton->text() == tr("MSync");
}
