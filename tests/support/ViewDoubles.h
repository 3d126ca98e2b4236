#pragma once

#include "capture/CanPacket.h"
#include "display/FrameListController.h"

#include <cstdint>
#include <functional>
#include <vector>

// Recording stand-ins for the windows around the main view.

class RecordingPageButtons : public PageButtons {
public:
    void enablePageButtons(bool previous, bool next) override { state = {previous, next}; }

    PagingButtonsState state;
};

// Detailed Frame Views: what the view opened and every frame it was asked to show.
class RecordingFrameViews : public DetailedFrameViewFactory {
public:
    struct Shown {
        std::uint32_t packetNumber = 0;
        std::uint32_t number = 0;
        std::int32_t edge = 0;
    };

    DetailedFrameView *openFrameView() override
    {
        ++opened;
        if (onOpen)
            onOpen();
        return &m_view;
    }

    int opened = 0;
    int closed = 0;
    std::vector<Shown> shown;
    // Runs when a view is opened.
    std::function<void()> onOpen;

private:
    class View : public DetailedFrameView {
    public:
        explicit View(RecordingFrameViews &owner) : m_owner(owner) { }
        void SetFrame(const CAN_Packet &frame, std::uint32_t number, std::int32_t edge) override
        {
            m_owner.shown.push_back({frame.number, number, edge});
        }
        void closeView() override { ++m_owner.closed; }

    private:
        RecordingFrameViews &m_owner;
    };

    View m_view{*this};
};
