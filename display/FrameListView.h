#pragma once

#include "capture/ReceiverInterfaces.h"
#include "capture/StoreInterfaces.h"
#include "display/FrameListController.h"
#include "display/VisibleRows.h"

#include <QScrollArea>

#include <cstdint>

class CVEXODoc;
class MessageReporter;
class QPushButton;

// The main view: the rows of the shown page on a canvas in pixel units, one
// row every 50 pixels from y 30, between the full-width "Previous Frames" and
// "Next Frames" buttons, all scrolling together. It takes the live frames,
// pages through the capture and answers the Detailed Frame View.
class CVEXOView : public QScrollArea,
                  public FrameSink,
                  public ViewLink,
                  public RowParent,
                  private FrameListSurface {
    Q_OBJECT

public:
    static constexpr int PreviousFramesCommand = 314;
    static constexpr int NextFramesCommand = 315;
    static constexpr int ButtonHeight = 20;
    static constexpr int NextFramesTop = 1280;

    explicit CVEXOView(QWidget *parent = nullptr);
    ~CVEXOView() override;

    // The store; the view registers itself with it. Null leaves the view idle.
    void setDocument(CVEXODoc *document);
    void setPageButtons(PageButtons *buttons) { m_controller.setPageButtons(buttons); }
    void setMessageReporter(MessageReporter *messages)
    {
        m_messages = messages;
        m_controller.setMessageReporter(messages);
    }
    void setFrameViewFactory(DetailedFrameViewFactory *factory)
    {
        m_controller.setFrameViewFactory(factory);
    }

    std::uint8_t OnNewFrame(CAN_Frame frame, int hint) override;
    void beginBatch() override { ++m_batchDepth; }
    void endBatch() override;
    void reportBatch() override;
    int horizontalScrollPosition() const override;
    void EnableNavigation(int state) override;
    void StepPage(int direction);
    void GoToPage(std::uint32_t page);
    void SetScrollMode(int mode);
    void showLatestFrames() { m_controller.showLatestFrames(); }
    // "Hold Display": the list stands still while frames are still stored.
    void setHeld(bool held) { m_controller.setHeld(held); }
    bool isHeld() const { return m_controller.isHeld(); }
    // The Function menu's Filter and Sort: each runs its dialog modally.
    void OnFilter();
    void OnSort();

    // Called by the Detailed Frame View when it closes or is destroyed.
    void frameViewClosed() { m_controller.frameViewClosed(); }
    // Closes the Detailed Frame View, if one is open.
    void closeFrameView() { m_controller.closeFrameView(); }
    DetailedFrameView *frameView() const { return m_controller.frameView(); }

    // The widget the rows and the paging buttons are placed on, and the
    // position on it of a point given in scrolled coordinates.
    QWidget *canvas() const { return m_canvas; }
    QPoint canvasPoint(int x, int y) const;
    QSize scrollExtent() const { return m_extent; }
    QPushButton *previousFramesButton() const { return m_previousButton; }
    QPushButton *nextFramesButton() const { return m_nextButton; }
    // The rows on the canvas, and which of them have widgets.
    VisibleRows &visibleRows() { return m_visibleRows; }

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    ScrollPoint scrollPosition() const override;
    void setScrollExtent(int width, int height) override;
    void setScrollPosition(int x, int y) override;
    void enablePagingButtons(bool previous, bool next) override;

    void fitCanvas();
    void fitButtons();
    void followVisiblePart();

    QWidget *m_canvas = nullptr;
    QPushButton *m_previousButton = nullptr;
    QPushButton *m_nextButton = nullptr;
    QSize m_extent{50, 50};
    // Within a batch of live frames the canvas follows the extent once, at
    // the end.
    int m_batchDepth = 0;
    bool m_fitDue = false;
    CVEXODoc *m_doc = nullptr;
    MessageReporter *m_messages = nullptr;
    FrameListController m_controller{*this, this};
    // Declared last: destroyed first, while the canvas still exists.
    VisibleRows m_visibleRows;
};
