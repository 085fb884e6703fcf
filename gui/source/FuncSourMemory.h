#pragma once

#include "gui/toolkit/FuncWidget.h"

#include <QMetaObject>

class FuncButton;
class GroupFunc;

// The A/B/C preset page: keys A, B, C (F1 to F3) show the level each preset holds for the
// present mode and range; "Recall" (F4) and "Store" (F5) choose what a preset key does. A recall
// applies the preset at once; a store asks first and then returns to recall mode. The recalled
// (or stored) key stays checked until the next level change. The presets are the engine root's
// (vek::ELoad::s_pSelf); without a root the preset keys refuse with -200. GUI thread only.
class FuncSourMemory : public FuncWidget
{
    Q_OBJECT

public:
    explicit FuncSourMemory(QWidget *parent = nullptr);

    // Key lock: recall mode only, "Recall" and "Store" disabled.
    void setKeyLockMode();
    void clearKeyLockMode();

    GroupFunc *m_presetGroup;
    GroupFunc *m_modeGroup;
    FuncButton *m_presetKeys[3];
    FuncButton *m_recallKey;
    FuncButton *m_storeKey;

public Q_SLOTS:
    // A level changed after a recall or store: the preset is no longer what is in force.
    void onValueChange(double value);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createConnections();
    // Marks the preset keys as selected until the next level change.
    void dynamicConnect();
    // Whether the operator confirmed storing into the preset called name.
    bool storeMessage(const QString &name);
    void storeSelected();
    void recallSelected();
    // Whether the preset key of index is to show as selected.
    bool abcMemoryExcute(int index);
    // The key texts "A<mark>\n<preview>" with mark after each name.
    void setKeyTexts(const QString (&names)[3]);

    // The four level reports that end the marking; disconnected by themselves, so the
    // engine's other connections to this page (mode and range changes) stay.
    QMetaObject::Connection m_levelConnections[4];
    int m_marked = -1; // the preset key shown as in force, or -1
};
