#pragma once

#include <QWidget>

#include <functional>

class FuncSystemError;
class QHBoxLayout;
class QLabel;
class QTableView;
class QVBoxLayout;
class ScpiErrorModel;

// The panel's SCPI error list: the entries of the instrument's error queue with "Clear" (empty
// the queue) and "*RST" (reset the settings). It follows the queue through the main window's
// scpiErrorQueued() and scpiErrorDecued(), connected to the two slots. GUI thread only.
class PictSystError : public QWidget
{
    Q_OBJECT

public:
    // Resets the instrument's settings and its A/B/C presets to the reset state; 0 or an error
    // number. Handed down by the main window, which owns the engine.
    using ResetSettings = std::function<short()>;

    // Without a reset, "*RST" answers -200 on the panel and changes nothing.
    explicit PictSystError(QWidget *parent = nullptr, ResetSettings reset = ResetSettings());

    FuncSystemError *keys() const { return m_keys; }
    QTableView *table() const { return m_tableView; }
    ScpiErrorModel *model() const { return m_model; }

public Q_SLOTS:
    // An entry was queued; "Clear" follows whether the queue holds entries.
    void onScpiErrorQueue();
    // Entries were taken; "Clear" follows whether entries remain.
    void onScpiErrorDecue();

Q_SIGNALS:
    // The list emptied the queue ("Clear", or "*RST" on a non-empty list); the main window
    // relays it as its scpiErrorDecued(), so that the error badge follows.
    void scpiErrorDecued();

private:
    void createWidgets();
    void createLayout();
    void createConnections();
    void clearList();
    void resetSettings();

    const ResetSettings m_reset;
    QHBoxLayout *m_horizontalLayout = nullptr;
    QVBoxLayout *m_verticalLayout = nullptr;
    QLabel *m_label = nullptr;
    QTableView *m_tableView = nullptr;
    ScpiErrorModel *m_model = nullptr;
    FuncSystemError *m_keys = nullptr;
};
