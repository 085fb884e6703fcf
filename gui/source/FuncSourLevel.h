#pragma once

#include <QWidget>

class FuncSourLevelArbitrary;
class FuncSourLevelBasic;
class QStackedWidget;

// The level page: the basic keys (levels, slew rate, protections) and, in ARB mode, the
// arbitrary-table keys, one shown at a time. Its signals carry the keys' clicks to the
// measurement screen, which switches the pages. GUI thread only.
class FuncSourLevel : public QWidget
{
    Q_OBJECT

public:
    explicit FuncSourLevel(QWidget *parent = nullptr);

    FuncSourLevelBasic *basicPage() const { return m_basicPage; }
    FuncSourLevelArbitrary *arbitraryPage() const { return m_arbitraryPage; }

    bool isBasicPage() const;
    bool isArbitraryPage() const;
    void selectBasicPage() const;
    void selectArbitraryPage() const;
    // Whether the action key may offer the short (the model's short function).
    void setViewShortEnable(bool enable);
    // Whether the slew-rate keys work in ARB mode (a model without ARB response choices).
    void setViewArbSlewRateEnable(bool enable);

    FuncSourLevelBasic *const m_basicPage;
    FuncSourLevelArbitrary *const m_arbitraryPage;

Q_SIGNALS:
    // The basic page's value key ("Table" in ARB mode).
    void tableClicked(bool checked);
    // The arbitrary page's keys back to the basic entries.
    void slewRateClicked(bool checked);
    void oppClicked(bool checked);
    void uvpClicked(bool checked);

private:
    QStackedWidget *m_pages;
};
