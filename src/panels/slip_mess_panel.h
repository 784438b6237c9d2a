// The sliding panel: once the store is ready, at most one tip per panel
// interval, never over a full-screen program or a busy user; each tip
// sinks away after its own stay.
#pragma once

#include "panels/mess_panel.h"

class CSlipMessPanel : public CMessPanel {
public:
    static constexpr int32_t kDefaultIntervalMinutes = 30;

    CSlipMessPanel() : CMessPanel(true) {}

    void TryShowTip() override;
    // Minutes between two tips; 0 means 30.
    void SetInterval(int32_t minutes) { m_nInterval = minutes; }
    int32_t Interval() const { return m_nInterval; }
    int32_t LastShowTime() const { return m_tLastShow; }

private:
    int32_t m_nInterval = 0;
};
