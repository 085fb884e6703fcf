#pragma once

#include "gui/toolkit/StandIn.h"

#include <QString>
#include <QWidget>

// The measurement-data file page, which writes the record logger's CSV file to USB storage.
// So far the naming of new files; the rest stands in for the real screen until it is built: it
// shows its name, holds the file list ("file") the key lock lets the cursor keys through to, and
// logs the calls it gets.
class PictUSBFile : public QWidget, public StandIn
{
    Q_OBJECT

public:
    explicit PictUSBFile(QWidget *parent = nullptr);

    // folder + "/Untitled<n>.csv" with the lowest n from 1 to 999 whose file does not exist in
    // folder; empty when all 999 exist.
    static QString generateSaveName(const QString &folder);
};
