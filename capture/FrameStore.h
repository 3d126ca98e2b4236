#pragma once

#include "capture/CanFrame.h"
#include "capture/CanPacket.h"
#include "capture/CaptureTime.h"
#include "capture/StoreInterfaces.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

// The capture store: every frame in arrival order, the display list the pages
// are cut from, the latest frame of each identifier, the counters, the page
// window and the row controls of the shown page.
//
// The display and identifier lists hold positions in the arrival list, so they
// stay valid however far the arrival list grows (a log file may hold more than
// a live capture's limit).
class CVEXODoc {
public:
    static constexpr int PageSize = 25;
    static constexpr std::uint32_t CaptureLimit = 50000;
    static constexpr std::int32_t FirstRowX = 10;
    static constexpr std::int32_t FirstRowY = 30;
    static constexpr std::int32_t RowStep = 50;
    static constexpr std::int32_t RebuiltRowWidth = 800;
    static constexpr std::int32_t RowHeight = 40;
    static constexpr int ProgressDivisor = 20; // progress range 0..2500 at the capture limit
    static constexpr std::uint32_t RefreshThrottle = 50;

    enum UpdateMode : int {
        AddRow = 0,     // add a new row for the frame
        ScrollPage = 1, // the page is full: scroll its rows up by one
        StoreOnly = 2,  // store without touching rows (throttled refresh in ID-list mode)
        // Store while the display is held: no row is touched, the page window
        // stays where it is, and the display list only grows at its end (a
        // known identifier's entry waits for BringRowsUpToDate).
        StoreHeld = 3,
    };

    enum DisplayMode : std::uint8_t {
        IndexList = 1,
        IdList = 2,
    };

    enum Direction : int {
        Next = 1,
        Previous = 2,
    };

    enum Edge : int {
        NoEdge = 0,
        FirstEdge = 1,
        LastEdge = 2,
    };

    struct Position {
        std::int32_t x = FirstRowX;
        std::int32_t y = FirstRowY;
    };

    CVEXODoc();
    ~CVEXODoc();
    CVEXODoc(const CVEXODoc &) = delete;
    CVEXODoc &operator=(const CVEXODoc &) = delete;

    // Wiring to the windows around the store; null leaves that side silent.
    void setRowFactory(RowFactory *factory);
    void setMainFrame(MainFrameLink *mainFrame);
    void setView(ViewLink *view);
    void SetControlBar(ControlBarLink *controlBar);

    bool OnNewDocument();
    void AddFrame(const RowRect &rect, RowParent *parent, CAN_Frame frame, int updateMode);
    void Clear();
    void DestroyRows();
    void BuildRows(RowParent *parent);
    void RefreshPage(RowParent *parent);
    void RebuildDisplayList();
    bool NextPage(RowParent *parent);
    bool PreviousPage(RowParent *parent);
    std::int32_t FindIdentifier(std::uint32_t id) const;
    CAN_Packet FindByNumber(std::uint32_t number) const;
    CAN_Packet FindNeighbour(std::uint32_t number, int direction, int &edge) const;
    void ReportCounters();
    void UpdatePageCount();

    // Live frames arrive in batches. Between beginBatch and endBatch the
    // counters, the fill level, the page count and the activity flags are
    // not reported frame by frame: endBatch reports them once, with the
    // values after the batch's last frame. Batches may nest (a message box
    // handles the next batch in its own event loop); every endBatch reports.
    void beginBatch() { ++m_batchDepth; }
    void endBatch();
    // Reports what a batch has changed so far, at once (before a message box
    // opens in the middle of a batch).
    void reportBatch();
    void SetErrorStatus(CAN_ErrorStatus status);
    void SetDisplayMode(std::uint8_t mode);
    // Brings the rows up to date with what is stored after frames were stored
    // without drawing: in index-list mode a full page scrolls to the newest
    // arrivals, in ID-list mode every identifier whose entry lags behind its
    // latest frame shows that frame. True when an index-list page scrolled.
    bool BringRowsUpToDate(std::int32_t xOrigin);
    // The page the window shows: the one that holds its last entry.
    std::int32_t shownPage() const;
    // Replaces the capture by frames read from a log, shown as a capture of
    // its own: they become the arrival list, the identifier list is rebuilt
    // from them, the Rx and Tx counts count them, the display list is made
    // for the display mode and the page window moves to its last page. The
    // page rows are released (BuildRows shows the new page); the display
    // mode and the excluded identifiers stay as they were.
    void ReplaceCapture(std::vector<CAN_Packet> frames, CaptureStart start = {});

    // Where the frames' time stamps count from: the wall-clock time of the
    // connect for a live capture, what the log held for an opened one.
    CaptureStart captureStart() const { return m_captureStart; }
    void setCaptureStart(CaptureStart start) { m_captureStart = start; }

    // Filter and sort (select/): one-shot replacements of the display list.
    void ClearExcludedIds();
    void AddExcludedId(std::uint8_t kind, std::uint32_t id);
    void ApplySelectionFilter();
    // flags: bit 0 standard frames within [standardFrom, standardTo], bit 1
    // extended frames within [extendedFrom, extendedTo]; bounds inclusive.
    void ApplyRangeFilter(std::uint8_t flags, std::uint32_t standardFrom, std::uint32_t standardTo,
                          std::uint32_t extendedFrom, std::uint32_t extendedTo);
    // Keys 1 to 4 (SortKey in select/SelectionRules.h); any other does nothing.
    void SortDisplayList(int key);

    // Accessors.
    std::uint32_t frameCount() const { return m_frameCount; }
    int rowCount() const { return static_cast<int>(m_pageRows.size()); }
    Position nextRowPosition() const { return m_nextRow; }
    std::uint8_t displayMode() const { return m_displayMode; }
    std::int32_t pageStart() const { return m_pageStart; }
    std::int32_t pageEnd() const { return m_pageEnd; }
    std::int32_t pageCount() const { return m_pageCount; }
    std::size_t displaySize() const { return m_displayList.size(); }
    CAN_Packet displayEntry(std::size_t i) const { return m_arrival[m_displayList[i]]; }
    CAN_Packet storedEntry(std::size_t i) const { return m_arrival[i]; }
    std::size_t identifierCount() const { return m_identifierList.size(); }
    CAN_Packet identifierEntry(std::size_t i) const { return m_arrival[m_identifierList[i]]; }
    std::size_t excludedCount() const { return m_excludedIds.size(); }
    CAN_Packet_ID excludedEntry(std::size_t i) const { return m_excludedIds[i]; }
    std::uint32_t txCount() const { return m_txCount; }
    std::uint32_t rxCount() const { return m_rxCount; }
    const CAN_ErrorStatus &errorStatus() const { return m_errorStatus; }
    ControlBarLink *controlBar() const { return m_controlBar; }
    // Every stored frame in arrival order, whatever the display list shows.
    const std::vector<CAN_Packet> &arrivalList() const { return m_arrival; }

    // Moves the page window to display-list positions [start, end); the next
    // BuildRows or RefreshPage shows it.
    void setPageWindow(std::int32_t start, std::int32_t end);
    // Resets the control bar's page field to "1".
    void ResetPageField();
    // Writes the number of the shown page into the control bar's page field.
    void ShowPageNumber();
    // Used by the control bar's Clear.
    void ResetCounters();
    void SetPageCount(std::int32_t count);
    // Used at every connect.
    void ResetErrorStatus();

private:
    void appendRow(const RowRect &rect, RowParent *parent, std::uint32_t arrivalIndex);
    void updateRow(std::size_t row, std::uint32_t arrivalIndex, std::int32_t xOrigin);
    void showNewestArrivals(std::int32_t xOrigin);
    void markLagging(std::int32_t pos);
    void catchUpLaggingIdentifiers(std::int32_t xOrigin);
    void addToIndexList(const RowRect &rect, RowParent *parent, std::uint32_t index,
                        std::int32_t pos, int updateMode);
    void addToIdList(const RowRect &rect, RowParent *parent, std::uint32_t index, std::int32_t pos,
                     int updateMode);
    std::int32_t displayPositionOfIdentifier(std::int32_t pos, std::uint32_t id);
    std::int32_t rowShowingIdentifier(std::int32_t pos, std::uint32_t id) const;
    // Marks the display list as changed by something other than a live frame.
    void displayListReplaced() { m_identifierDisplayKnown = false; }
    void setLinkFlag(std::uint8_t mask, bool on);
    // Raises an activity flag now, or at the end of the batch.
    void raiseActivity(std::uint8_t mask);
    void countPages();
    void reportPageCount();
    void clearLists();
    void reserveCapacities();

    RowFactory *m_rowFactory = nullptr;
    MainFrameLink *m_mainFrame = nullptr;
    ViewLink *m_view = nullptr;

    std::vector<std::unique_ptr<FrameRow>> m_pageRows;
    std::vector<std::uint32_t> m_rowFrames; // arrival position each page row shows
    std::vector<CAN_Packet> m_arrival;
    std::vector<std::uint32_t> m_displayList;
    std::vector<std::uint32_t> m_identifierList;
    std::unordered_map<std::uint32_t, std::int32_t> m_identifierPositions;
    // Display-list position that shows each identifier-list entry (-1: none),
    // rebuilt lazily after the display list was replaced as a whole.
    std::vector<std::int32_t> m_identifierDisplay;
    bool m_identifierDisplayKnown = true;
    // Identifier-list positions whose display entry may show an older frame
    // than the latest one (refreshes held back by the throttle or a hold).
    std::vector<std::int32_t> m_lagging;
    std::vector<std::uint8_t> m_isLagging;
    std::vector<CAN_Packet_ID> m_excludedIds;
    Position m_nextRow;
    std::uint32_t m_frameCount = 0;
    std::uint32_t m_rxCount = 0;
    std::uint32_t m_txCount = 0;
    ControlBarLink *m_controlBar = nullptr;
    std::int32_t m_pageStart = 0;
    std::int32_t m_pageEnd = 0;
    std::int32_t m_pageCount = 1;
    CAN_ErrorStatus m_errorStatus;
    std::uint8_t m_displayMode = IndexList;
    int m_batchDepth = 0;
    bool m_reportDue = false;
    std::uint8_t m_batchActivity = 0;
    CaptureStart m_captureStart;
};
