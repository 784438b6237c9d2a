// The static panel: shows a tip of the store's static queue whenever it is
// hidden, and keeps it up until the user closes it or a click sends it away.
#pragma once

#include "panels/mess_panel.h"

class CStatMessPanel : public CMessPanel {
public:
    CStatMessPanel() : CMessPanel(false) {}

    void TryShowTip() override;
};
