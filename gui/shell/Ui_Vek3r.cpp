#include "gui/shell/Ui_Vek3r.h"

#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWidget>

namespace {

constexpr int KeyWidth = 62;
constexpr int KeyHeight = 25;
constexpr int HalfKeyHeight = 12;

// Two lines of text, or a key of a two-key column, in a 25-pixel row.
QFont smallFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(6);
    return font;
}

GroupFunc *menuGroup(QStackedWidget *bar, const char *name, GroupFunc::Color colour)
{
    auto *group = new GroupFunc(bar);
    group->setObjectName(QLatin1String(name));
    group->setMaximumWidth(QWIDGETSIZE_MAX);
    group->setLayoutDirection(Qt::LeftToRight); // F6 on the left
    auto *row = new QHBoxLayout(group);
    row->setSpacing(2);
    row->setContentsMargins(0, 0, 0, 0);
    group->setStyle(colour, GroupFunc::Plain, GroupFunc::NoColor);
    bar->addWidget(group);
    return group;
}

FuncButton *menuKey(GroupFunc *group, const char *name)
{
    auto *key = new FuncButton(group);
    key->setObjectName(QLatin1String(name));
    key->setCheckable(true);
    key->setMinimumHeight(KeyHeight);
    key->setMaximumWidth(KeyWidth);
    group->layout()->addWidget(key);
    return key;
}

// Two half-height keys under one panel key; the group is a key of the row.
GroupFunc *column(GroupFunc *row, const char *name)
{
    auto *group = new GroupFunc(row);
    group->setObjectName(QLatin1String(name));
    auto *layout = new QVBoxLayout(group);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    row->layout()->addWidget(group);
    return group;
}

FuncButton *columnKey(GroupFunc *group, const char *name, bool coloured)
{
    FuncButton *key = menuKey(group, name);
    key->setMinimumHeight(HalfKeyHeight);
    key->setMaximumHeight(KeyHeight);
    key->setFont(smallFont());
    if (!coloured)
        key->setStyle(FuncButton::NoColor, FuncButton::Plain, FuncButton::NoColor);
    return key;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("Vek3r", text);
}

void bind(FuncButton *key, const char *text, Qt::Key panelKey)
{
    key->setText(tr(text));
    if (key->text().contains(QLatin1Char('\n')))
        key->setFont(smallFont());
    key->setShortcut(QKeySequence(panelKey));
}

} // namespace

void Ui_Vek3r::setupUi(QWidget *Vek3r)
{
    Vek3r->setObjectName(QStringLiteral("Vek3r"));
    Vek3r->resize(320, 240);
    Vek3r->setMinimumSize(320, 240);
    Vek3r->setMaximumSize(800, 480);
    Vek3r->setFont(QFont(QStringLiteral("DejaVu Sans")));
    Vek3r->setCursor(Qt::BlankCursor);
    Vek3r->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));

    verticalLayout = new QVBoxLayout(Vek3r);
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 0, 0, 0);
    topLayout = new QHBoxLayout();
    topLayout->setSpacing(6);
    verticalLayout->addLayout(topLayout);
    FuncMode = new QStackedWidget(Vek3r);
    FuncMode->setObjectName(QStringLiteral("FuncMode"));
    verticalLayout->addWidget(FuncMode);

    FuncModeSource = menuGroup(FuncMode, "FuncModeSource", GroupFunc::Blue);
    SourceMode = menuKey(FuncModeSource, "SourceMode");
    SourceRange = menuKey(FuncModeSource, "SourceRange");
    SourceMore = menuKey(FuncModeSource, "SourceMore");
    SourceWaveform = column(FuncModeSource, "SourceWaveform");
    SourceSine = columnKey(SourceWaveform, "SourceSine", false);
    SourcePulse = columnKey(SourceWaveform, "SourcePulse", true);
    SourceLevels = column(FuncModeSource, "SourceLevels");
    SourceLevel = columnKey(SourceLevels, "SourceLevel", false);
    SourceABC = columnKey(SourceLevels, "SourceABC", true);
    SourceLevel->setChecked(true);

    FuncModeMeasure = menuGroup(FuncMode, "FuncModeMeasure", GroupFunc::Red);
    subsystAcquire = menuKey(FuncModeMeasure, "subsystAcquire");
    subsystData = menuKey(FuncModeMeasure, "subsystData");
    subsystDisplay = menuKey(FuncModeMeasure, "subsystDisplay");
    subsystSource = menuKey(FuncModeMeasure, "subsystSource");
    subsystMemory = menuKey(FuncModeMeasure, "subsystMemory");
    subsystAcquire->setChecked(true);

    FuncModeProgram = menuGroup(FuncMode, "FuncModeProgram", GroupFunc::Green);
    progSelect = menuKey(FuncModeProgram, "progSelect");
    progEdit = menuKey(FuncModeProgram, "progEdit");
    progExecute = menuKey(FuncModeProgram, "progExecute");
    ProgTriger = menuKey(FuncModeProgram, "ProgTriger");
    progMemory = menuKey(FuncModeProgram, "progMemory");
    progExecute->setChecked(true);

    FuncModeSystem = menuGroup(FuncMode, "FuncModeSystem", GroupFunc::Yellow);
    systConfigs = column(FuncModeSystem, "systConfigs");
    systConfig = columnKey(systConfigs, "systConfig", false);
    systInterface = columnKey(systConfigs, "systInterface", true);
    systInterface->setStyle(FuncButton::Yellow, FuncButton::Half, FuncButton::NoColor);
    systFile = menuKey(FuncModeSystem, "systFile");
    systError = menuKey(FuncModeSystem, "systError");
    systAdmin = menuKey(FuncModeSystem, "systAdmin");
    systInfomation = menuKey(FuncModeSystem, "systInfomation");
    systConfig->setChecked(true);

    // The column groups answer one panel key each and cycle through their two keys.
    SourceWaveform->setShortcut(QKeySequence(Qt::Key_F9));
    SourceLevels->setShortcut(QKeySequence(Qt::Key_F10));
    systConfigs->setShortcut(QKeySequence(Qt::Key_F6));

    retranslateUi(Vek3r);
    FuncMode->setCurrentIndex(0);
}

void Ui_Vek3r::retranslateUi(QWidget *Vek3r)
{
    Vek3r->setWindowTitle(tr("VEK-3R Panel"));
    bind(SourceMode, "Mode", Qt::Key_F6);
    bind(SourceRange, "Range", Qt::Key_F7);
    bind(SourceMore, "More", Qt::Key_F8);
    SourceSine->setText(tr("\u00b7Sine"));
    SourcePulse->setText(tr("\u00b7Pulse"));
    SourceLevel->setText(tr("\u00b7Level"));
    SourceABC->setText(tr("\u00b7ABC"));
    bind(subsystAcquire, "Acquire", Qt::Key_F6);
    bind(subsystData, "Data", Qt::Key_F7);
    bind(subsystDisplay, "Display", Qt::Key_F8);
    bind(subsystSource, "More", Qt::Key_F9);
    bind(subsystMemory, "Data\nExport", Qt::Key_F10);
    bind(progSelect, "1.Program", Qt::Key_F6);
    bind(progEdit, "2.Steps", Qt::Key_F7);
    bind(progExecute, "3.Transient", Qt::Key_F8);
    bind(ProgTriger, "More", Qt::Key_F9);
    bind(progMemory, "Import\nExport", Qt::Key_F10);
    systConfig->setText(tr("\u00b7Configure"));
    systInterface->setText(tr("\u00b7Interface"));
    bind(systFile, "Recall\nSave", Qt::Key_F7);
    bind(systError, "SCPI", Qt::Key_F8);
    bind(systAdmin, "Admin", Qt::Key_F9);
    bind(systInfomation, "Infomation", Qt::Key_F10);
}
