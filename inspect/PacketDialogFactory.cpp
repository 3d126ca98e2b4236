#include "inspect/PacketDialogFactory.h"

#include "display/FrameListView.h"
#include "inspect/PacketDialog.h"

PacketDialogFactory::PacketDialogFactory(CVEXOView *view) : m_view(view) { }

DetailedFrameView *PacketDialogFactory::openFrameView()
{
    if (!m_view)
        return nullptr;
    auto *dialog = new CPacketDlg(m_view, m_view->window());
    dialog->show();
    return dialog;
}
