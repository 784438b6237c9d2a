// A fresh tip store for each panel test, and the clock put back afterwards.
#pragma once

#include "store/show_data_list.h"
#include "support/host_folder.h"

class PanelTest : public HostFolderTest {
protected:
    void SetUp() override;
    void TearDown() override;
    CShowDataList* Store() { return CShowDataList::GetInstance(); }
};
