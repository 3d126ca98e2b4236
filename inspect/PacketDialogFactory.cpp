#include "inspect/PacketDialogFactory.h"

#include "display/FrameListView.h"
#include "inspect/PacketDialog.h"

#include <utility>

PacketDialogFactory::PacketDialogFactory(CVEXOView *view, BusBitRateSource bitRate)
    : m_view(view), m_bitRate(std::move(bitRate))
{ }

DetailedFrameView *PacketDialogFactory::openFrameView()
{
    if (!m_view)
        return nullptr;
    auto *dialog = new CPacketDlg(m_view, m_view->window(), m_bitRate);
    dialog->setSignalDatabase(m_database);
    dialog->show();
    return dialog;
}
