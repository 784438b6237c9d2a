#include "actions/click_action.h"

#include "actions/run_action.h"
#include "panels/button_drawer.h"
#include "panels/mess_panel.h"

void RunClickAction(CMessPanel* panel, CButtonDrawer* button) {
    if (panel == nullptr || button == nullptr) return;
    RunAction(panel->Window(), reinterpret_cast<LPARAM>(panel), button->Command(), button->Url());
}
