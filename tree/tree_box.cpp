#include "tree/tree_box.h"

rg_DrenvikShuXingKuang::rg_DrenvikShuXingKuang() {
    const uint8_t bytes[4] = {1, 2, 3, 4};
    delimiter.Assign(bytes, 4);
    delimiterLength = int32_t(delimiter.GetSize());
    fixedFieldsLength = compactRecords ? 18 : 26;
    verticalBar.vertical = 1;
    VOL_BIND(indexPool.TaskDue, &rg_DrenvikShuXingKuang::RunPoolIndexJob);
    VOL_BIND(dropTarget.FileDropped, &rg_DrenvikShuXingKuang::OnFileDropped);
}

rg_DrenvikShuXingKuang::~rg_DrenvikShuXingKuang() {
    // No job may outlive the tree box: stop them and wait before any member goes.
    StopIndexJobs();
    DetachEvents();
    DestroyOwnWindow();
}
