// The panel's slide, tick by tick, without a window: how it rises, stays,
// holds under the pointer and sinks.
#include <gtest/gtest.h>

#include <ostream>

#include "panels/panel_slide.h"

namespace {

constexpr int32_t kWorkBottom = 1000;
constexpr int kMaxTicks = 2000;

// What one slide did within kMaxTicks ticks: ticks that moved it up to its
// top, ticks spent fully up, ticks that moved it down, how many asked to
// hide the window, and the state at the end.
struct SlideRun {
    int riseTicks = 0;
    int shownTicks = 0;
    int sinkTicks = 0;
    int hides = 0;
    int32_t endState = PANEL_HIDDEN;
    bool operator==(const SlideRun&) const = default;
};
void PrintTo(const SlideRun& r, std::ostream* os) {
    *os << "{riseTicks=" << r.riseTicks << " shownTicks=" << r.shownTicks << " sinkTicks=" << r.sinkTicks
        << " hides=" << r.hides << " endState=" << r.endState << "}";
}

struct SlideCase {
    const char* why;
    bool sliding;
    int32_t staySeconds, height, rise, sink;
    SlideRun expected;
};
void PrintTo(const SlideCase& c, std::ostream* os) { *os << c.why; }

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

class PanelSlideRun : public testing::TestWithParam<SlideCase> {};

TEST_P(PanelSlideRun, RisesStaysItsSecondsAndSinksOutOfSight) {
    const SlideCase& c = GetParam();
    CPanelSlide slide(c.sliding);
    slide.SetStaySeconds(c.staySeconds);
    EXPECT_EQ(RunSlide(slide, c.height, c.rise, c.sink), c.expected);
}

// A stay of s seconds leaves the top on the (50 s + 1)-th tick there.
INSTANTIATE_TEST_SUITE_P(
    Rows, PanelSlideRun,
    testing::Values(
        SlideCase{"one second", true, 1, 160, 15, 10, {.riseTicks = 11, .shownTicks = 51, .sinkTicks = 17, .hides = 1}},
        SlideCase{
            "two seconds", true, 2, 160, 15, 10, {.riseTicks = 11, .shownTicks = 101, .sinkTicks = 17, .hides = 1}},
        SlideCase{"no stay: up until sent away",
                  true,
                  0,
                  160,
                  15,
                  10,
                  {.riseTicks = 11, .shownTicks = kMaxTicks - 11, .endState = PANEL_SHOWN}},
        SlideCase{"a negative stay is no stay",
                  true,
                  -5,
                  160,
                  15,
                  10,
                  {.riseTicks = 11, .shownTicks = kMaxTicks - 11, .endState = PANEL_SHOWN}},
        SlideCase{"a static panel holds without counting",
                  false,
                  1,
                  160,
                  15,
                  10,
                  {.riseTicks = 11, .endState = PANEL_SLIDING_IN}},
        SlideCase{"the last rise stops at the top",
                  true,
                  1,
                  100,
                  15,
                  10,
                  {.riseTicks = 7, .shownTicks = 51, .sinkTicks = 11, .hides = 1}},
        SlideCase{"144 DPI: 240 high, steps of 23 and 15",
                  true,
                  1,
                  240,
                  23,
                  15,
                  {.riseTicks = 11, .shownTicks = 51, .sinkTicks = 17, .hides = 1}},
        SlideCase{"a step below a pixel still arrives",
                  true,
                  1,
                  3,
                  0,
                  0,
                  {.riseTicks = 3, .shownTicks = 51, .sinkTicks = 4, .hides = 1}}));

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
    int sinking = 0;
    while (slide.Tick() != CPanelSlide::Step::kMoveAndHide && sinking < 100) ++sinking;
    EXPECT_EQ(sinking + 1, 17);
    EXPECT_EQ(slide.State(), PANEL_HIDDEN);
}

}  // namespace
