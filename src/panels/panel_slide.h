// The panel's slide motion without its window: where the panel rises to and
// sinks from, its state, and how long it has stayed. Each 20 ms tick says
// what the window must do; the panel window carries it out.
#pragma once

#include <cstdint>

enum PanelState : int32_t {
    PANEL_HIDDEN = 0,
    PANEL_SLIDING_IN = 1,
    PANEL_SHOWN = 2,
    PANEL_SLIDING_OUT = 3,
    PANEL_LEAVING = 4,
};

constexpr int32_t kAnimatePeriodMs = 20;
constexpr int32_t kRisePerTick = 15;
constexpr int32_t kSinkPerTick = 10;
// How long an assistive tool's last look holds the panel up: 3 s.
constexpr int32_t kToolHoldTicks = 150;

class CPanelSlide {
public:
    // What a tick asks of the window.
    enum class Step { kNone, kMove, kMoveAndHide };

    // A sliding panel leaves after its stay; a static one holds when up.
    explicit CPanelSlide(bool sliding) : m_bSliding(sliding ? 1 : 0) {}

    // The panel starts just below the work area (its hidden top) and rises
    // until its top is at `shownTop`, by `rise` pixels a tick; it sinks by
    // `sink` pixels a tick.
    void Start(int32_t left, int32_t shownTop, int32_t hiddenTop, int32_t rise = kRisePerTick,
               int32_t sink = kSinkPerTick);
    Step Tick();
    // The pointer rests on the panel: a panel not sent away rises, or holds.
    void Hover();
    // The pointer left: the next tick at the top starts the whole stay again.
    void PointerLeft() { m_bPointerOutside = 1; }
    // An assistive tool reads the panel: for the next few seconds it stays
    // as under a resting pointer (a sinking panel rises again), then the
    // rest of its stay runs.
    void HoldForTool();
    // Sinks away, whatever the pointer does.
    void SendAway() { m_nState = PANEL_LEAVING; }
    // Seconds fully up before sinking; 0 or less stays until sent away.
    void SetStaySeconds(int32_t seconds) { m_nStaySeconds = seconds; }
    // Hidden without sinking (a close), or torn down.
    void Stop() { m_nState = PANEL_HIDDEN; }

    int32_t State() const { return m_nState; }
    int32_t StayTicks() const { return m_nStayTicks; }
    int32_t LeftX() const { return m_nLeftX; }
    int32_t CurrentTop() const { return m_nCurrentY; }
    int32_t ShownTop() const { return m_nShownY; }
    int32_t HiddenTop() const { return m_nHiddenY; }
    bool PointerOutside() const { return m_bPointerOutside != 0; }

private:
    int32_t m_nLeftX = 0;
    int32_t m_nShownY = 0;
    int32_t m_nHiddenY = 0;
    int32_t m_nCurrentY = 0;
    int32_t m_nRise = kRisePerTick;
    int32_t m_nSink = kSinkPerTick;
    int32_t m_nState = PANEL_HIDDEN;
    int32_t m_nStayTicks = 0;
    int32_t m_nStaySeconds = 0;
    int32_t m_bSliding = 0;
    int32_t m_bPointerOutside = 1;
    int32_t m_nToolHoldTicks = 0;
};
