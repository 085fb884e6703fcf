#pragma once

#include "gui/toolkit/StandIn.h"

#include <QWidget>

class FuncFile;

// The setup-file page (recall and save in internal memory) held by the main window, with its
// key panel. Stands in for the real screen until it is built: shows its name, holds the file
// list ("file") and the contents view ("data") the key lock lets the cursor keys through to,
// and logs the calls it gets.
class PictFile : public QWidget, public StandIn
{
    Q_OBJECT

public:
    explicit PictFile(QWidget *parent = nullptr);

    // The page's keys; the main window sets their key-lock flag.
    FuncFile *funcFile() const { return m_funcFile; }

private:
    FuncFile *m_funcFile;
};
