#pragma once

#include <QString>

// The measurement-data file page, which writes the record logger's CSV file to USB storage.
// So far the naming of new files; the page's widgets come with the panel.
class PictUSBFile
{
public:
    // folder + "/Untitled<n>.csv" with the lowest n from 1 to 999 whose file does not exist in
    // folder; empty when all 999 exist.
    static QString generateSaveName(const QString &folder);
};
