#pragma once

#include "display/FrameListController.h"

#include <QPointer>

class CVEXOView;

// Opens Detailed Frame Views for the main view, as windows of the main
// view's top-level window.
class PacketDialogFactory : public DetailedFrameViewFactory {
public:
    explicit PacketDialogFactory(CVEXOView *view);

    DetailedFrameView *openFrameView() override;

private:
    QPointer<CVEXOView> m_view;
};
