#include "select/ShownPage.h"

#include "capture/FrameStore.h"
#include "display/FrameListView.h"

void ShowFirstPage(CVEXODoc &doc, CVEXOView &view)
{
    view.SetScrollMode(FrameListController::ShortToOrigin);
    doc.DestroyRows();
    doc.setPageWindow(0, CVEXODoc::PageSize);
    doc.BuildRows(&view);
    view.SetScrollMode(FrameListController::PageToOrigin);
}

void RebuildShownPage(CVEXODoc &doc, CVEXOView &view)
{
    view.SetScrollMode(FrameListController::ShortToOrigin);
    doc.DestroyRows();
    doc.BuildRows(&view);
    view.SetScrollMode(FrameListController::PageToOrigin);
}
