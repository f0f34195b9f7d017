#include "tree/tree_box.h"

rg_DrenvikShuXingKuang::rg_DrenvikShuXingKuang() {
    const uint8_t bytes[4] = {1, 2, 3, 4};
    delimiter.Assign(bytes, 4);
    delimiterLength = int32_t(delimiter.GetSize());
    fixedFieldsLength = compactRecords ? 18 : 26;
    verticalBar.vertical = 1;
    VOL_BIND(indexPool.TaskDue, &rg_DrenvikShuXingKuang::RunPoolIndexJob);
}

rg_DrenvikShuXingKuang::~rg_DrenvikShuXingKuang() {
    // No job may outlive the tree box: stop them and wait before any member goes.
    StopIndexJobs();
    DestroyOwnWindow();
}

void rg_DrenvikShuXingKuang::BindEvents() {
    VOL_BIND(Destroyed, &rg_DrenvikShuXingKuang::OnStopPool);
    rg_ZuJianBuJuQi::BindEvents();
}

void rg_DrenvikShuXingKuang::RefreshView(int32_t start) {
    if (!autoRefresh || isShown != 1 || !refreshGate.TryEnter()) return;
    do {
        if (!skipIndexJobs) StartIndexJobs();
        if (start >= 0) topNode = start;
        const int32_t length = int32_t(nodeBuffer.GetSize());
        if (visibleRowIndexBuiltFor != length) {
            rg_ZhengShuShuZuLei locator;
            visibleRowCount = CollectVisibleRows(-1, locator, visibleRowIndex);
            visibleRowIndexBuiltFor = length;
        }
        // Laying out and drawing the rows is the view's part, from topNode on.
    } while (refreshGate.FinishPass());
}
