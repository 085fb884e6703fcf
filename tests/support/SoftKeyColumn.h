#pragma once

#include "gui/toolkit/FuncButton.h"

#include <QApplication>
#include <QList>

#include <algorithm>

// Helpers for the tests of soft-key pages.
namespace softkeytest {

// Shows a page as the active window at the column's size, so that its panel keys work.
inline void show(QWidget *page)
{
    page->resize(62, 215);
    page->show();
    QApplication::setActiveWindow(page);
}

// The keys of a laid-out page from top (F1) to bottom, blank ones included.
inline QList<FuncButton *> column(QWidget *page)
{
    QList<FuncButton *> keys = page->findChildren<FuncButton *>();
    std::sort(keys.begin(), keys.end(), [page](FuncButton *a, FuncButton *b) {
        return a->mapTo(page, QPoint()).y() < b->mapTo(page, QPoint()).y();
    });
    return keys;
}

} // namespace softkeytest
