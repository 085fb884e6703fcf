#pragma once

#include "gui/shell/SettingsView.h"

class FuncAcquire;

// The acquisition settings view of the measurement screen: the acquisition trigger (source,
// count, delay, interval timing) and the sense aperture, and the keys that initiate, abort and
// trigger an acquisition. A refused key shows its error in the self-closing box.
class ViewAcquire : public SettingsView
{
    Q_OBJECT

public:
    ViewAcquire(FuncAcquire *keys, QWidget *parent);

    // Makes every row read-only (while an acquisition runs) or editable again; idempotent in
    // both directions. "Edit" is left as it is.
    void setValueLock(bool locked);

private:
    void createLayout();
    void createConnections();

    FuncAcquire *m_keys; // not owned: the measurement screen owns its pages
    ZONode *m_root = nullptr; // owned by the model
};
