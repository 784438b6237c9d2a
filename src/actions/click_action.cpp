#include "actions/click_action.h"

// The click actions (the browser call and the download agent's calls) fill
// these two; until then a click only moves the panel.
void RunClickAction(CMessPanel*, CButtonDrawer*) {}

void OpenInBrowser(const char*) {}
