#include "capture/FrameStore.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t RowCapacity = 30;
constexpr std::size_t IdentifierCapacity = 100;
constexpr std::size_t ExcludedCapacity = 10;

} // namespace

CVEXODoc::CVEXODoc() = default;

CVEXODoc::~CVEXODoc() = default;

void CVEXODoc::setRowFactory(RowFactory *factory)
{
    m_rowFactory = factory;
}

void CVEXODoc::setMainFrame(MainFrameLink *mainFrame)
{
    m_mainFrame = mainFrame;
}

void CVEXODoc::setView(ViewLink *view)
{
    m_view = view;
}

void CVEXODoc::SetControlBar(ControlBarLink *controlBar)
{
    m_controlBar = controlBar;
    // A link opened at start stores frames before the bar is handed over; the
    // bar starts from what the store holds, not from zero.
    if (m_controlBar) {
        ReportCounters();
        UpdatePageCount();
    }
}

bool CVEXODoc::OnNewDocument()
{
    clearLists();
    m_excludedIds.clear();
    reserveCapacities();
    m_nextRow = Position{};
    m_errorStatus = CAN_ErrorStatus{};
    return true;
}

void CVEXODoc::reserveCapacities()
{
    m_pageRows.reserve(RowCapacity);
    m_rowFrames.reserve(RowCapacity);
    m_arrival.reserve(CaptureLimit);
    m_displayList.reserve(CaptureLimit);
    m_identifierList.reserve(IdentifierCapacity);
    m_identifierDisplay.reserve(IdentifierCapacity);
    m_identifierPositions.reserve(IdentifierCapacity);
    m_excludedIds.reserve(ExcludedCapacity);
}

void CVEXODoc::clearLists()
{
    m_pageRows.clear();
    m_rowFrames.clear();
    m_displayList.clear();
    m_arrival.clear();
    m_identifierList.clear();
    m_identifierPositions.clear();
    m_identifierDisplay.clear();
    m_identifierDisplayKnown = true;
    m_lagging.clear();
    m_isLagging.clear();
}

void CVEXODoc::setLinkFlag(std::uint8_t mask, bool on)
{
    if (m_mainFrame)
        m_mainFrame->SetLinkFlag(mask, on);
}

void CVEXODoc::AddFrame(const RowRect &rect, RowParent *parent, CAN_Frame frame, int updateMode)
{
    const std::uint32_t number = m_frameCount;

    // Activity flags for every second transmitted and three of four received
    // frames; the main frame clears them on its own schedule.
    if (frame.type & FrameType::Transmitted) {
        if (m_txCount % 2 == 1)
            raiseActivity(LinkStatus::TransmitActivity);
        ++m_txCount;
    } else {
        if (m_rxCount % 4 != 0)
            raiseActivity(LinkStatus::ReceiveActivity);
        ++m_rxCount;
    }

    std::uint8_t bytes[8] = {};
    const int byteCount = storedByteCount(frame.type, frame.dlc);
    std::memcpy(bytes, frame.data, static_cast<std::size_t>(byteCount));

    // The new frame's position in the arrival list; it is appended last, after
    // the rows have been brought up to date.
    const auto index = static_cast<std::uint32_t>(m_arrival.size());
    CAN_Packet packet(number, frame.type, frame.id, frame.dlc, bytes, frame.timestampLow,
                      frame.timestampHigh, formatDataText(bytes, byteCount),
                      formatTimeText(frame.timestampLow, frame.timestampHigh));

    const std::int32_t pos = FindIdentifier(frame.id);
    m_arrival.push_back(std::move(packet));

    if (m_displayMode == IndexList) {
        addToIndexList(rect, parent, index, pos, updateMode);
    } else if (m_displayMode == IdList) {
        addToIdList(rect, parent, index, pos, updateMode);
        // A frame shown at once ends a burst: identifiers whose refresh the
        // throttle held back show their latest frame now.
        if (updateMode == AddRow || updateMode == ScrollPage)
            catchUpLaggingIdentifiers(rect.left);
    }

    // A held display keeps its page; the rows still show it.
    if (updateMode != StoreHeld) {
        m_pageEnd = static_cast<std::int32_t>(m_displayList.size());
        m_pageStart = std::max(0, m_pageEnd - PageSize);
    }

    ++m_frameCount;
    countPages();
    if (m_batchDepth > 0) {
        m_reportDue = true;
        return;
    }
    ReportCounters();
    reportPageCount();
}

void CVEXODoc::raiseActivity(std::uint8_t mask)
{
    if (m_batchDepth > 0)
        m_batchActivity |= mask;
    else
        setLinkFlag(mask, true);
}

void CVEXODoc::endBatch()
{
    if (m_batchDepth > 0)
        --m_batchDepth;
    reportBatch();
}

void CVEXODoc::reportBatch()
{
    for (const std::uint8_t mask : {LinkStatus::TransmitActivity, LinkStatus::ReceiveActivity}) {
        if (m_batchActivity & mask)
            setLinkFlag(mask, true);
    }
    m_batchActivity = 0;
    if (!m_reportDue)
        return;
    m_reportDue = false;
    ReportCounters();
    reportPageCount();
}

void CVEXODoc::addToIndexList(const RowRect &rect, RowParent *parent, std::uint32_t index,
                              std::int32_t pos, int updateMode)
{
    if (updateMode == AddRow)
        appendRow(rect, parent, index);
    else if (updateMode == ScrollPage)
        showNewestArrivals(rect.left);

    if (pos < 0) {
        m_identifierPositions.emplace(m_arrival[index].id,
                                      static_cast<std::int32_t>(m_identifierList.size()));
        m_identifierList.push_back(index);
        m_identifierDisplay.push_back(static_cast<std::int32_t>(m_displayList.size()));
        m_isLagging.push_back(0);
    } else {
        m_identifierList[pos] = index;
        m_identifierDisplay[pos] = static_cast<std::int32_t>(m_displayList.size());
    }
    m_displayList.push_back(index);
}

void CVEXODoc::addToIdList(const RowRect &rect, RowParent *parent, std::uint32_t index,
                           std::int32_t pos, int updateMode)
{
    const CAN_Packet &packet = m_arrival[index];

    if (pos < 0) {
        // A new identifier always gets a row of its own, below the last,
        // unless the display is held; its entry then waits at the end of the
        // display list.
        if (updateMode != StoreHeld)
            appendRow(rect, parent, index);
        m_identifierPositions.emplace(packet.id,
                                      static_cast<std::int32_t>(m_identifierList.size()));
        m_identifierDisplay.push_back(static_cast<std::int32_t>(m_displayList.size()));
        m_isLagging.push_back(0);
        m_displayList.push_back(index);
        m_identifierList.push_back(index);
        return;
    }

    if (static_cast<std::size_t>(pos) >= m_displayList.size())
        return;

    m_identifierList[pos] = index;

    // The display entry that shows this identifier is normally at pos; after a
    // sort or filter it may sit elsewhere or be gone.
    const std::int32_t shown = displayPositionOfIdentifier(pos, packet.id);
    if (shown < 0)
        return;

    const std::uint32_t previous = m_displayList[shown];
    const bool refresh = updateMode == AddRow || updateMode == ScrollPage
        || (updateMode == StoreOnly
            && packet.number - m_arrival[previous].number > RefreshThrottle);
    if (!refresh) {
        markLagging(pos);
        return;
    }

    m_displayList[shown] = index;
    const std::int32_t row = rowShowingIdentifier(pos, previous);
    if (row >= 0)
        updateRow(static_cast<std::size_t>(row), index, rect.left);
}

std::int32_t CVEXODoc::displayPositionOfIdentifier(std::int32_t pos, std::uint32_t id)
{
    if (!m_identifierDisplayKnown) {
        m_identifierDisplay.assign(m_identifierList.size(), -1);
        for (std::size_t d = 0; d < m_displayList.size(); ++d) {
            const auto found = m_identifierPositions.find(m_arrival[m_displayList[d]].id);
            if (found != m_identifierPositions.end())
                m_identifierDisplay[found->second] = static_cast<std::int32_t>(d);
        }
        m_identifierDisplayKnown = true;
    }
    const std::int32_t shown = m_identifierDisplay[pos];
    if (shown < 0 || static_cast<std::size_t>(shown) >= m_displayList.size()
        || m_arrival[m_displayList[shown]].id != id)
        return -1;
    return shown;
}

std::int32_t CVEXODoc::rowShowingIdentifier(std::int32_t pos, std::uint32_t arrivalIndex) const
{
    if (static_cast<std::size_t>(pos) < m_rowFrames.size() && m_rowFrames[pos] == arrivalIndex)
        return pos;
    const auto found = std::find(m_rowFrames.begin(), m_rowFrames.end(), arrivalIndex);
    return found == m_rowFrames.end() ? -1 : static_cast<std::int32_t>(found - m_rowFrames.begin());
}

void CVEXODoc::markLagging(std::int32_t pos)
{
    if (m_isLagging[pos])
        return;
    m_isLagging[pos] = 1;
    m_lagging.push_back(pos);
}

void CVEXODoc::catchUpLaggingIdentifiers(std::int32_t xOrigin)
{
    for (const std::int32_t pos : m_lagging) {
        m_isLagging[pos] = 0;
        const std::uint32_t latest = m_identifierList[pos];
        const std::int32_t shown = displayPositionOfIdentifier(pos, m_arrival[latest].id);
        if (shown < 0 || m_displayList[shown] == latest)
            continue;
        const std::uint32_t previous = m_displayList[shown];
        m_displayList[shown] = latest;
        const std::int32_t row = rowShowingIdentifier(pos, previous);
        if (row >= 0)
            updateRow(static_cast<std::size_t>(row), latest, xOrigin);
    }
    m_lagging.clear();
}

// The page ends with the newest arrivals: rows 0..23 take the 24 frames before
// the newest one, the last row takes the newest.
void CVEXODoc::showNewestArrivals(std::int32_t xOrigin)
{
    if (m_pageRows.empty() || m_arrival.empty())
        return;
    const auto newest = static_cast<std::int64_t>(m_arrival.size()) - 1;
    const std::int64_t base = newest - (PageSize - 1);
    const std::size_t lastRow = m_pageRows.size() - 1;
    for (std::size_t i = 0; i < PageSize - 1 && i < lastRow; ++i) {
        const std::int64_t source = base + static_cast<std::int64_t>(i);
        if (source >= 0)
            updateRow(i, static_cast<std::uint32_t>(source), xOrigin);
    }
    updateRow(lastRow, static_cast<std::uint32_t>(newest), xOrigin);
}

bool CVEXODoc::BringRowsUpToDate(std::int32_t xOrigin)
{
    if (m_displayMode == IdList) {
        catchUpLaggingIdentifiers(xOrigin);
        return false;
    }
    if (m_pageRows.size() < static_cast<std::size_t>(PageSize) || m_arrival.empty()
        || m_rowFrames.back() == m_arrival.size() - 1)
        return false;
    m_pageEnd = static_cast<std::int32_t>(m_displayList.size());
    m_pageStart = std::max(0, m_pageEnd - PageSize);
    showNewestArrivals(xOrigin);
    return true;
}

std::int32_t CVEXODoc::shownPage() const
{
    const auto size = static_cast<std::int32_t>(m_displayList.size());
    const std::int32_t pages = std::max(1, (size + PageSize - 1) / PageSize);
    if (m_pageEnd <= 0)
        return 1;
    return std::clamp((m_pageEnd - 1) / PageSize + 1, 1, pages);
}

void CVEXODoc::appendRow(const RowRect &rect, RowParent *parent, std::uint32_t arrivalIndex)
{
    std::unique_ptr<FrameRow> row;
    if (m_rowFactory)
        row = m_rowFactory->createRow(rect, parent);
    if (row) {
        const CAN_Packet &p = m_arrival[arrivalIndex];
        row->PlaceFrame(p.number, p.type, p.id, p.dlc, p.dataText, p.timeText);
    }
    m_pageRows.push_back(std::move(row));
    m_rowFrames.push_back(arrivalIndex);
    m_nextRow.y += RowStep;
}

void CVEXODoc::updateRow(std::size_t row, std::uint32_t arrivalIndex, std::int32_t xOrigin)
{
    m_rowFrames[row] = arrivalIndex;
    if (!m_pageRows[row])
        return;
    const CAN_Packet &p = m_arrival[arrivalIndex];
    m_pageRows[row]->UpdateFrame(p.number, p.type, p.id, p.dlc, p.dataText, p.timeText, xOrigin);
}

void CVEXODoc::Clear()
{
    clearLists();
    m_nextRow = Position{};
    m_pageStart = 0;
    m_pageEnd = 0;
    m_frameCount = 0;
}

void CVEXODoc::DestroyRows()
{
    m_pageRows.clear();
    m_rowFrames.clear();
    m_nextRow = Position{};
}

void CVEXODoc::BuildRows(RowParent *parent)
{
    const std::int32_t x = m_nextRow.x - (m_view ? m_view->horizontalScrollPosition() : 0);
    UpdatePageCount();

    const std::size_t size = m_displayList.size();
    if (size == 0) {
        if (m_view)
            m_view->EnableNavigation(Navigation::None);
        return;
    }

    for (auto i = static_cast<std::uint32_t>(std::max(0, m_pageStart));
         i < static_cast<std::uint32_t>(std::max(0, m_pageEnd)) && i < size; ++i) {
        const RowRect rect{x, m_nextRow.y, x + RebuiltRowWidth, m_nextRow.y + RowHeight};
        appendRow(rect, parent, m_displayList[i]);
    }

    if (!m_view)
        return;
    if (size <= static_cast<std::size_t>(PageSize))
        m_view->EnableNavigation(Navigation::None);
    else if (m_pageStart == 0)
        m_view->EnableNavigation(Navigation::First);
    else if (size <= static_cast<std::size_t>(std::max(0, m_pageEnd)))
        m_view->EnableNavigation(Navigation::Last);
}

void CVEXODoc::RefreshPage(RowParent *parent)
{
    DestroyRows();
    BuildRows(parent);
}

void CVEXODoc::RebuildDisplayList()
{
    m_displayList.clear();
    if (m_displayMode == IndexList) {
        for (std::uint32_t i = 0; i < m_arrival.size(); ++i)
            m_displayList.push_back(i);
    } else {
        // The identifier list already refers to the arrival entries it names.
        m_displayList.assign(m_identifierList.begin(), m_identifierList.end());
    }
    displayListReplaced();
    std::fill(m_isLagging.begin(), m_isLagging.end(), std::uint8_t{0});
    m_lagging.clear();
    m_pageEnd = static_cast<std::int32_t>(m_displayList.size());
    m_pageStart = std::max(0, m_pageEnd - PageSize);
}

bool CVEXODoc::NextPage(RowParent *parent)
{
    const auto size = static_cast<std::int32_t>(m_displayList.size());
    bool more = true;
    m_pageStart = m_pageEnd;
    m_pageEnd = m_pageStart + PageSize;
    if (m_pageEnd >= size) {
        m_pageEnd = size;
        m_pageStart = std::max(0, m_pageEnd - PageSize);
        more = false;
    }
    RefreshPage(parent);
    return more;
}

bool CVEXODoc::PreviousPage(RowParent *parent)
{
    bool more = true;
    m_pageEnd = m_pageStart >= PageSize ? m_pageStart : PageSize;
    m_pageStart = m_pageEnd - PageSize;
    if (m_pageStart <= 0) {
        m_pageStart = 0;
        more = false;
    }
    RefreshPage(parent);
    return more;
}

std::int32_t CVEXODoc::FindIdentifier(std::uint32_t id) const
{
    const auto found = m_identifierPositions.find(id);
    return found == m_identifierPositions.end() ? -1 : found->second;
}

CAN_Packet CVEXODoc::FindByNumber(std::uint32_t number) const
{
    for (const std::uint32_t index : m_displayList) {
        if (m_arrival[index].number == number)
            return m_arrival[index];
    }
    return CAN_Packet{};
}

CAN_Packet CVEXODoc::FindNeighbour(std::uint32_t number, int direction, int &edge) const
{
    edge = NoEdge;
    const auto found =
        std::find_if(m_displayList.begin(), m_displayList.end(),
                     [&](std::uint32_t index) { return m_arrival[index].number == number; });
    if (found == m_displayList.end())
        return CAN_Packet{};

    const auto i = found - m_displayList.begin();
    const auto size = static_cast<std::ptrdiff_t>(m_displayList.size());
    std::ptrdiff_t result = i;
    if (direction == Next) {
        if (i + 2 >= size)
            edge = LastEdge;
        if (i + 1 < size)
            result = i + 1;
    } else if (direction == Previous) {
        if (i - 2 < 0)
            edge = FirstEdge;
        if (i > 0)
            result = i - 1;
    }
    return m_arrival[m_displayList[result]];
}

void CVEXODoc::ReportCounters()
{
    if (m_controlBar)
        m_controlBar->SetCounters(static_cast<int>(m_txCount), static_cast<int>(m_rxCount));
    // An opened log may hold more than a live capture: the bar stays full.
    if (m_mainFrame)
        m_mainFrame->SetProgressPosition(
            static_cast<int>(std::min(m_frameCount, CaptureLimit) / ProgressDivisor));
}

void CVEXODoc::UpdatePageCount()
{
    countPages();
    reportPageCount();
}

void CVEXODoc::countPages()
{
    const auto size = static_cast<std::int32_t>(m_displayList.size());
    m_pageCount = size / PageSize + 1;
    if (size != 0 && size % PageSize == 0)
        --m_pageCount;
}

void CVEXODoc::reportPageCount()
{
    if (m_controlBar)
        m_controlBar->SetPageCountText("/" + std::to_string(m_pageCount));
    ShowPageNumber();
}

void CVEXODoc::SetErrorStatus(CAN_ErrorStatus status)
{
    m_errorStatus = status;
    setLinkFlag(LinkStatus::BusError, status.tec != 0 || status.rec != 0);
    if (m_mainFrame)
        m_mainFrame->UpdateErrorStatusDialog();
}

void CVEXODoc::SetDisplayMode(std::uint8_t mode)
{
    if (mode == IndexList || mode == IdList)
        m_displayMode = mode;
}

void CVEXODoc::ReplaceCapture(std::vector<CAN_Packet> frames, CaptureStart start)
{
    clearLists();
    m_arrival = std::move(frames);
    m_captureStart = start;
    // Live frames that follow must not make the arrival list reallocate.
    if (m_arrival.capacity() < CaptureLimit)
        m_arrival.reserve(CaptureLimit);
    const auto size = static_cast<std::uint32_t>(m_arrival.size());
    m_rxCount = 0;
    m_txCount = 0;
    for (std::uint32_t i = 0; i < size; ++i) {
        const CAN_Packet &packet = m_arrival[i];
        if (packet.type & FrameType::Transmitted)
            ++m_txCount;
        else
            ++m_rxCount;
        const auto [found, added] = m_identifierPositions.emplace(
            packet.id, static_cast<std::int32_t>(m_identifierList.size()));
        if (added)
            m_identifierList.push_back(i);
        else
            m_identifierList[found->second] = i;
    }
    m_nextRow = Position{};
    m_frameCount = size;
    RebuildDisplayList();
}

void CVEXODoc::setPageWindow(std::int32_t start, std::int32_t end)
{
    m_pageStart = start;
    m_pageEnd = end;
}

void CVEXODoc::ResetPageField()
{
    if (m_controlBar)
        m_controlBar->SetPageFieldText("1");
}

void CVEXODoc::ShowPageNumber()
{
    if (m_controlBar)
        m_controlBar->SetPageFieldText(std::to_string(shownPage()));
}

void CVEXODoc::ResetCounters()
{
    m_txCount = 0;
    m_rxCount = 0;
}

void CVEXODoc::SetPageCount(std::int32_t count)
{
    m_pageCount = count;
}

void CVEXODoc::ResetErrorStatus()
{
    m_errorStatus = CAN_ErrorStatus{};
}
