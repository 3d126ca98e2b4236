#pragma once

class CVEXODoc;
class CVEXOView;

// Rebuilding the shown page after the filter or the sort replaced the display
// list, framed by the scroll modes that show the new page from its top.

// The first page of the display list (after a filter).
void ShowFirstPage(CVEXODoc &doc, CVEXOView &view);

// The page at the unchanged page window (after a sort).
void RebuildShownPage(CVEXODoc &doc, CVEXOView &view);
