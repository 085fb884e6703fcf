#include "gui/source/FuncSourLevelArbitrary.h"

#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/zoDoubleSpinBox.h"

namespace {

constexpr int MinPoints = 3;
constexpr int MaxPoints = 100;

} // namespace

FuncSourLevelArbitrary::FuncSourLevelArbitrary(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_FuncSourLevelArbitrary)
{
    ui->setupUi(this);
    ui->table->setStyle(FuncButton::Blue, FuncButton::Row, FuncButton::Pink);
    ui->slewRate->setStyle(FuncButton::Blue, FuncButton::Row, FuncButton::Blue);
    ui->opp->setStyle(FuncButton::Blue, FuncButton::Row, FuncButton::Green);
    ui->uvp->setStyle(FuncButton::Blue, FuncButton::Row, FuncButton::Yellow);
    ui->countButton->setStyle(FuncButton::Blue, FuncButton::Row, FuncButton::Purple);
    ui->arbCount->setDecimals(0);
    ui->arbCount->setRange(MinPoints, MaxPoints);

    connect(ui->table, &FuncButton::clicked, this, &FuncSourLevelArbitrary::tableClicked);
    connect(ui->countButton, &FuncButton::clicked, this, &FuncSourLevelArbitrary::countClicked);
    connect(ui->arbCount,
        &zoDoubleSpinBox::valuePrefixChanged,
        this,
        &FuncSourLevelArbitrary::countPrefixChanged);
    connect(ui->arbCount,
        &zoDoubleSpinBox::editingFinished,
        this,
        &FuncSourLevelArbitrary::countEditingFinished);
}

FuncSourLevelArbitrary::~FuncSourLevelArbitrary()
{
    // The table view filters the count entry's events and reads this page's keys then: the entry
    // goes while the page is still whole.
    delete ui->arbCount;
    delete ui;
}

void FuncSourLevelArbitrary::setEditTable(bool edit) const
{
    ui->table->setText(edit ? tr("Table\n(\u00B7Edit)") : tr("Table"));
    ui->table->setShortcut(QKeySequence(Qt::Key_F1));
}

void FuncSourLevelArbitrary::setViewSlewRateEnable(bool enable)
{
    ui->slewRate->setEnabled(enable);
}
