#include "panels/panel_slide.h"

void CPanelSlide::Start(int32_t left, int32_t shownTop, int32_t hiddenTop, int32_t rise, int32_t sink) {
    m_nLeftX = left;
    m_nShownY = shownTop;
    m_nHiddenY = m_nCurrentY = hiddenTop;
    // A step below one pixel would never arrive.
    m_nRise = rise > 0 ? rise : 1;
    m_nSink = sink > 0 ? sink : 1;
    m_nState = PANEL_SLIDING_IN;
}

void CPanelSlide::Hover() {
    m_bPointerOutside = 0;
    if (m_nState != PANEL_LEAVING) m_nState = PANEL_SLIDING_IN;
}

void CPanelSlide::HoldForTool() {
    m_nToolHoldTicks = kToolHoldTicks;
    if (m_nState == PANEL_SLIDING_OUT) m_nState = PANEL_SLIDING_IN;
}

CPanelSlide::Step CPanelSlide::Tick() {
    const bool held = m_nToolHoldTicks > 0;
    if (held) --m_nToolHoldTicks;
    switch (m_nState) {
    case PANEL_SLIDING_IN: {
        Step step = Step::kNone;
        if (m_nCurrentY > m_nShownY) {
            // 64-bit: a top near the bottom of the int range cannot wrap.
            const int64_t top = int64_t{m_nCurrentY} - m_nRise;
            m_nCurrentY = top < m_nShownY ? m_nShownY : static_cast<int32_t>(top);
            step = Step::kMove;
        }
        if (m_nCurrentY <= m_nShownY && m_bSliding && m_bPointerOutside) {
            m_nStayTicks = 0;
            m_nState = PANEL_SHOWN;
        }
        return step;
    }
    case PANEL_SHOWN: {
        // A tool reading the panel pauses the stay.
        if (held) return Step::kNone;
        // 50 ticks of 20 ms to the second; no stay means no limit.
        const int64_t limit = int64_t{m_nStaySeconds} * 1000 / kAnimatePeriodMs;
        if (m_nStaySeconds <= 0) m_nStayTicks = 0;
        ++m_nStayTicks;
        if (m_nStaySeconds > 0 && m_nStayTicks > limit) m_nState = PANEL_SLIDING_OUT;
        return Step::kNone;
    }
    case PANEL_SLIDING_OUT:
    case PANEL_LEAVING: {
        const int64_t top = int64_t{m_nCurrentY} + m_nSink;
        m_nCurrentY = top > INT32_MAX ? INT32_MAX : static_cast<int32_t>(top);
        if (top <= m_nHiddenY) return Step::kMove;
        m_nState = PANEL_HIDDEN;
        return Step::kMoveAndHide;
    }
    default:
        return Step::kNone;
    }
}
