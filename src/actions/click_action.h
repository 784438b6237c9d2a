// What a click on a panel does once the panel dispatches it: open an
// address in the browser, or hand a download to the host's download agent.
#pragma once

#include "actions/browser.h"

class CMessPanel;
class CButtonDrawer;

// Runs the action record (command and URL) of `button` for `panel`; called
// for a panel action message whose wParam is neither 10 nor 11.
void RunClickAction(CMessPanel* panel, CButtonDrawer* button);
