// The panel's slide, tick by tick, without a window: how it rises, stays,
// holds under the pointer and sinks.
#include <gtest/gtest.h>

#include "panels/panel_slide.h"
#include "shared/named_fields.h"

namespace {

constexpr int32_t kWorkBottom = 1000;
constexpr int kMaxTicks = 2000;

// What one slide did within kMaxTicks ticks: ticks that moved it up to its
// top, ticks spent fully up, ticks that moved it down, how many asked to
// hide the window, and the state at the end.
struct SlideRun {
    int riseTicks = 0, shownTicks = 0, sinkTicks = 0, hides = 0;
    int32_t endState = PANEL_HIDDEN;
    NAMED_FIELDS(SlideRun, riseTicks, shownTicks, sinkTicks, hides, endState)
};

SlideRun RunSlide(CPanelSlide& slide, int32_t height, int32_t rise, int32_t sink) {
    slide.Start(740, kWorkBottom - height, kWorkBottom, rise, sink);
    SlideRun run;
    for (int i = 0; i < kMaxTicks && slide.State() != PANEL_HIDDEN; ++i) {
        const int32_t before = slide.State();
        const CPanelSlide::Step step = slide.Tick();
        EXPECT_GE(slide.CurrentTop(), slide.ShownTop()) << "rose past its top";
        if (before == PANEL_SLIDING_IN && step == CPanelSlide::Step::kMove) ++run.riseTicks;
        if (before == PANEL_SHOWN) ++run.shownTicks;
        if (before == PANEL_SLIDING_OUT) ++run.sinkTicks;
        if (step == CPanelSlide::Step::kMoveAndHide) ++run.hides;
    }
    run.endState = slide.State();
    return run;
}

// A stay of s seconds leaves the top on the (50 s + 1)-th tick there.
TEST(PanelSlide, RisesStaysItsSecondsAndSinksOutOfSight) {
    constexpr int kUp = kMaxTicks - 11;  // ticks up after the rise, when nothing sends it away
    const struct {
        const char* why;
        bool sliding;
        int32_t staySeconds, height, rise, sink;
        SlideRun expected;  // rise, shown, sink ticks, hides, end state
    } cases[] = {
        {"one second", true, 1, 160, 15, 10, {11, 51, 17, 1}},
        {"two seconds", true, 2, 160, 15, 10, {11, 101, 17, 1}},
        {"no stay: up until sent away", true, 0, 160, 15, 10, {11, kUp, 0, 0, PANEL_SHOWN}},
        {"a negative stay is no stay", true, -5, 160, 15, 10, {11, kUp, 0, 0, PANEL_SHOWN}},
        {"a static panel holds without counting", false, 1, 160, 15, 10, {11, 0, 0, 0, PANEL_SLIDING_IN}},
        {"the last rise stops at the top", true, 1, 100, 15, 10, {7, 51, 11, 1}},
        {"a step below a pixel still arrives", true, 1, 3, 0, 0, {3, 51, 4, 1}},
    };
    for (const auto& c : cases) {
        CPanelSlide slide(c.sliding);
        slide.SetStaySeconds(c.staySeconds);
        EXPECT_EQ(RunSlide(slide, c.height, c.rise, c.sink), c.expected) << c.why;
    }
}

// Hover on a sinking panel brings it back and holds it there; the pointer
// leaving starts the whole stay again; a panel sent away ignores hover.
TEST(PanelSlide, HoverBringsASinkingPanelBackAndLeavingRestartsTheStayButNothingStopsAPanelSentAway) {
    CPanelSlide slide(true);
    slide.SetStaySeconds(1);
    slide.Start(740, kWorkBottom - 160, kWorkBottom);
    for (int i = 0; i < 11 + 51 + 6; ++i) slide.Tick();
    ASSERT_EQ(slide.State(), PANEL_SLIDING_OUT);
    ASSERT_EQ(slide.CurrentTop(), kWorkBottom - 160 + 60);

    slide.Hover();
    int ticks = 0;
    for (; ticks < 100 && slide.CurrentTop() > slide.ShownTop(); ++ticks) slide.Tick();
    EXPECT_EQ(ticks, 4);
    for (int i = 0; i < 500; ++i) slide.Tick();
    EXPECT_EQ(slide.State(), PANEL_SLIDING_IN) << "held while the pointer rests on it";

    slide.PointerLeft();
    for (int i = 0; i < 51; ++i) slide.Tick();
    EXPECT_EQ(slide.State(), PANEL_SHOWN) << "the whole stay again, not what was left of it";
    EXPECT_EQ(slide.StayTicks(), 50);

    slide.SendAway();
    slide.Hover();
    EXPECT_EQ(slide.State(), PANEL_LEAVING);
    for (int i = 0; i < 16; ++i) slide.Tick();
    EXPECT_EQ(slide.Tick(), CPanelSlide::Step::kMoveAndHide) << "sunk away from its top on the 17th tick";
}

}  // namespace

// A tool reading the panel pauses its stay for the hold and then lets the
// rest of it run; a sinking panel it reads rises again.
TEST(PanelSlide, AnAssistiveToolHoldsThePanelUpAndThenTheRestOfTheStayRuns) {
    CPanelSlide slide(true);
    slide.SetStaySeconds(1);
    slide.Start(740, kWorkBottom - 160, kWorkBottom);
    for (int i = 0; i < 11 + 40; ++i) slide.Tick();
    slide.HoldForTool();
    for (int i = 0; i < kToolHoldTicks; ++i) slide.Tick();
    EXPECT_EQ(slide.StayTicks(), 40);
    for (int i = 0; i < 11; ++i) slide.Tick();
    EXPECT_EQ(slide.State(), PANEL_SLIDING_OUT);
    slide.HoldForTool();
    EXPECT_EQ(slide.State(), PANEL_SLIDING_IN);
}
