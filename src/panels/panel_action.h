// The private message by which elements (and the panel itself, before it
// runs an action) ask their own panel to close, to sink away, or to run a
// button's action. Always posted, so it runs after the mouse message that
// caused it.
#pragma once

#include <windows.h>

constexpr UINT WM_PANEL_ACTION = 3031;
// wParam: hide at once.
constexpr WPARAM kPanelActionClose = 10;
// wParam: sink away, whatever the pointer does.
constexpr WPARAM kPanelActionLeave = 11;
// Any other wParam runs the click action of the CButtonDrawer in lParam;
// the elements send this one.
constexpr WPARAM kPanelActionRun = 0;

// The private message by which the panel's accessible object asks for a
// click on one of the panel's elements (lParam), for an assistive tool.
constexpr UINT WM_PANEL_PRESS = 3032;
