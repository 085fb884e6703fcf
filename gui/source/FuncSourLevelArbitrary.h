#pragma once

#include "gui/source/FuncSourLevelForms.h"

#include <QWidget>

// The level page's arbitrary-table keys: the table key, keys back to the slew-rate, OPP and UVP
// entries, and the entry of the number of curve points (3 to 100). The keys only emit
// signals: the arbitrary table view and the level page act on them. GUI thread only.
class FuncSourLevelArbitrary : public QWidget
{
    Q_OBJECT

public:
    explicit FuncSourLevelArbitrary(QWidget *parent = nullptr);
    ~FuncSourLevelArbitrary() override;

    // "Table (·Edit)" while the table is edited, else "Table".
    void setEditTable(bool edit) const;
    void setViewSlewRateEnable(bool enable);

    Ui_FuncSourLevelArbitrary *ui;

Q_SIGNALS:
    void tableClicked(bool checked);
    void countClicked(bool checked);
    // A count committed or stepped.
    void countPrefixChanged(double count);
    void countEditingFinished();
};
