#pragma once

#include "remote/SYST_ERR_INFO.h"

#include <QAbstractTableModel>
#include <QVector>

// The panel's view of the SCPI error queue (zo4882::s_systErrCue): one row per entry, oldest
// first, columns "Code" and "Message". The queue changes in other threads; the model keeps the
// copy it last announced and, at each notification (queue(), decue(), clear()), brings its rows
// to the queue's present entries with inserts and removals, or a reset where the two cannot be
// matched (an overflow). So a view never sees a row the model did not announce, however many
// changes one notification stands for. GUI thread only.
class ScpiErrorModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ScpiErrorModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // After an entry was queued: follows the queue; false when it is empty. A newest entry of
    // -350 (the queue overflowed) resets the model.
    bool queue();
    // After entries were taken: follows the queue; whether entries remain.
    bool decue();
    // Empties the queue (its status bits clear and the queue's hook hears of it) and the rows.
    // Nothing happens when the queue is already empty.
    void clear();

    // The message cell's text: a blank follows the first ";" unless it starts the text.
    static QString messageText(const zo4882::SYST_ERR_INFO &entry);

private:
    // Brings m_rows to a fresh copy of the queue.
    void follow();

    QVector<zo4882::SYST_ERR_INFO> m_rows; // what the views were last told
};
