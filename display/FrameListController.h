#pragma once

#include "capture/CanFrame.h"

#include <cstdint>

class CAN_Packet;
class CVEXODoc;
class MessageReporter;
class RowParent;

// The scroll position of the frame list, in pixels.
struct ScrollPoint {
    int x = 0;
    int y = 0;

    friend bool operator==(const ScrollPoint &, const ScrollPoint &) = default;
};

// What the frame list needs of the scrolling widget that shows it.
class FrameListSurface {
public:
    virtual ~FrameListSurface() = default;
    virtual ScrollPoint scrollPosition() const = 0;
    virtual void setScrollExtent(int width, int height) = 0;
    virtual void setScrollPosition(int x, int y) = 0;
    // The view's own "Previous Frames" and "Next Frames" buttons.
    virtual void enablePagingButtons(bool previous, bool next) = 0;
};

// The control bar's previous-page and next-page buttons.
class PageButtons {
public:
    virtual ~PageButtons() = default;
    virtual void enablePageButtons(bool previous, bool next) = 0;
};

// The Detailed Frame View as the frame list sees it. The windowing side owns
// the dialog; it tells the frame list when it closes (frameViewClosed).
class DetailedFrameView {
public:
    virtual ~DetailedFrameView() = default;
    // edge: 0 neither end, 1 the first frame of the list, 2 the last one.
    virtual void SetFrame(const CAN_Packet &frame, std::uint32_t number, std::int32_t edge) = 0;
    // Closes and releases the dialog.
    virtual void closeView() = 0;
};

class DetailedFrameViewFactory {
public:
    virtual ~DetailedFrameViewFactory() = default;
    // Creates and shows a modeless Detailed Frame View; null if none could be made.
    virtual DetailedFrameView *openFrameView() = 0;
};

// Previous and next paging controls enabled for a navigation state.
struct PagingButtonsState {
    bool previous = false;
    bool next = false;

    friend bool operator==(const PagingButtonsState &, const PagingButtonsState &) = default;
};
PagingButtonsState pagingButtonsFor(int navigationState);

// The behaviour of the main view without its widgets: live frames into the
// store, paging, the navigation states of the four paging controls, the scroll
// extent, and the exchange with the Detailed Frame View.
class FrameListController {
public:
    static constexpr int ExtentWidth = 900;
    static constexpr int ShortExtentHeight = 50;
    static constexpr int PageExtentHeight = 1300; // the bottom of "Next Frames"
    static constexpr int ExtentBelowRows = 20;
    static constexpr int LiveRowWidth = 850;
    static constexpr int LiveRowHeight = 40;

    enum ScrollMode : int {
        PageToOrigin = 0,  // page extent, scrolled to the top left
        ShortToOrigin = 1, // short extent, scrolled to the top left
        Short = 3,         // short extent: brings the view to the top
        Page = 4,          // page extent, position kept
    };

    enum StepDirection : int {
        StepPrevious = 1,
        StepNext = 2,
    };

    // rowParent is the window rows are created in (the view itself).
    FrameListController(FrameListSurface &surface, RowParent *rowParent);

    void setDocument(CVEXODoc *document) { m_doc = document; }
    void setPageButtons(PageButtons *buttons) { m_barButtons = buttons; }
    void setMessageReporter(MessageReporter *messages) { m_messages = messages; }
    void setFrameViewFactory(DetailedFrameViewFactory *factory) { m_frameViews = factory; }

    std::uint8_t OnNewFrame(CAN_Frame frame, int hint);
    // Brings the shown rows up to date with what is stored, after frames were
    // stored without drawing (the last ones an adapter delivered before it
    // closed). A held display stays as it is.
    void showLatestFrames();
    // Holding freezes the rows, the page window and what the Detailed Frame
    // View steps through, while frames are still stored and counted.
    // Releasing shows the newest page.
    void setHeld(bool held);
    bool isHeld() const { return m_held; }
    void StepPage(int direction);
    void GoToPage(std::uint32_t page);
    void EnableNavigation(int state);
    void SetScrollMode(int mode);

    // WM_OPEN_FRAME_VIEW, WM_SHOW_NEXT_FRAME and WM_SHOW_PREV_FRAME.
    void OnOpenFrameView(std::uint32_t number);
    void OnShowNextFrame(std::uint32_t number);
    void OnShowPrevFrame(std::uint32_t number);
    // Called by the Detailed Frame View when it closes or is destroyed.
    void frameViewClosed() { m_frameView = nullptr; }
    // Closes the Detailed Frame View, if one is open (the control bar's Clear).
    void closeFrameView();
    DetailedFrameView *frameView() const { return m_frameView; }

private:
    void addWithRoom(const CAN_Frame &frame, int updateMode);
    void showNeighbour(std::uint32_t number, int direction);
    void updateExtentAfterAdd();
    void showNewestPage();

    FrameListSurface &m_surface;
    RowParent *m_rowParent = nullptr;
    CVEXODoc *m_doc = nullptr;
    PageButtons *m_barButtons = nullptr;
    MessageReporter *m_messages = nullptr;
    DetailedFrameViewFactory *m_frameViews = nullptr;
    DetailedFrameView *m_frameView = nullptr;
    bool m_held = false;
};
