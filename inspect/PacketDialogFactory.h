#pragma once

#include "display/FrameListController.h"
#include "inspect/BusBitRate.h"

#include <QPointer>

class CVEXOView;

// Opens Detailed Frame Views for the main view, as windows of the main
// view's top-level window.
class PacketDialogFactory : public DetailedFrameViewFactory {
public:
    // The dialogs ask the bit-rate source for the bus's rate at every frame.
    explicit PacketDialogFactory(CVEXOView *view, BusBitRateSource bitRate = {});

    DetailedFrameView *openFrameView() override;
    // The dialogs decode their frame with the source's database, if any.
    void setSignalDatabase(SignalDatabaseSource source) { m_database = std::move(source); }

private:
    QPointer<CVEXOView> m_view;
    BusBitRateSource m_bitRate;
    SignalDatabaseSource m_database;
};
