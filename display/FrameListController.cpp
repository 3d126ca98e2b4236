#include "display/FrameListController.h"

#include "app/MessageReporter.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverInterfaces.h"
#include "capture/WindowMessages.h"

#include <algorithm>
#include <string>

PagingButtonsState pagingButtonsFor(int navigationState)
{
    switch (navigationState) {
    case Navigation::None:
        return {false, false};
    case Navigation::First:
        return {false, true};
    case Navigation::Last:
        return {true, false};
    default:
        return {true, true};
    }
}

FrameListController::FrameListController(FrameListSurface &surface, RowParent *rowParent)
    : m_surface(surface), m_rowParent(rowParent)
{ }

std::uint8_t FrameListController::OnNewFrame(CAN_Frame frame, int hint)
{
    if (!m_doc)
        return NewFrameResult::NoDocument;
    if (m_doc->frameCount() >= CVEXODoc::CaptureLimit)
        return NewFrameResult::CaptureFull;
    // The frame that fills the capture is shown whatever its hint: the frames
    // after it are refused, so none of them would bring the page up to date.
    if (hint == DisplayHint::StoreQuietly && m_doc->frameCount() + 1 == CVEXODoc::CaptureLimit)
        hint = DisplayHint::ShowNow;

    const int rows = m_doc->rowCount();
    if (m_held) {
        // Stored as the same frame would be while shown, but out of sight.
        const bool pageHasRoom =
            m_doc->displayMode() == CVEXODoc::IndexList && rows < CVEXODoc::PageSize;
        if (pageHasRoom || hint == DisplayHint::ShowNow || hint == DisplayHint::StoreQuietly)
            m_doc->AddFrame(RowRect{}, nullptr, frame, CVEXODoc::StoreHeld);
        return NewFrameResult::Handled;
    }
    if (m_doc->displayMode() == CVEXODoc::IndexList) {
        if (rows < CVEXODoc::PageSize) {
            // The page has room: every frame gets a row of its own.
            addWithRoom(frame, CVEXODoc::AddRow);
        } else if (hint == DisplayHint::ShowNow) {
            const ScrollPoint scroll = m_surface.scrollPosition();
            RowRect rect;
            rect.left = m_doc->nextRowPosition().x - scroll.x;
            m_doc->AddFrame(rect, m_rowParent, frame, CVEXODoc::ScrollPage);
            EnableNavigation(Navigation::Last);
        } else if (hint == DisplayHint::StoreQuietly) {
            m_doc->AddFrame(RowRect{}, nullptr, frame, CVEXODoc::StoreOnly);
        }
    } else if (hint == DisplayHint::ShowNow || hint == DisplayHint::StoreQuietly) {
        addWithRoom(frame, hint);
    }
    return NewFrameResult::Handled;
}

void FrameListController::addWithRoom(const CAN_Frame &frame, int updateMode)
{
    const ScrollPoint scroll = m_surface.scrollPosition();
    const CVEXODoc::Position next = m_doc->nextRowPosition();
    const RowRect rect{next.x - scroll.x, next.y - scroll.y, next.x - scroll.x + LiveRowWidth,
                       next.y - scroll.y + LiveRowHeight};
    m_doc->AddFrame(rect, m_rowParent, frame, updateMode);
    updateExtentAfterAdd();
}

void FrameListController::updateExtentAfterAdd()
{
    m_surface.setScrollExtent(ExtentWidth, m_doc->nextRowPosition().y + ExtentBelowRows);
}

void FrameListController::showLatestFrames()
{
    if (!m_doc || m_held)
        return;
    const ScrollPoint scroll = m_surface.scrollPosition();
    if (m_doc->BringRowsUpToDate(m_doc->nextRowPosition().x - scroll.x))
        EnableNavigation(Navigation::Last);
    m_doc->UpdatePageCount();
}

void FrameListController::setHeld(bool held)
{
    if (held == m_held)
        return;
    // The rows hold what was stored when the user asked, and agree with the
    // page window and the page box.
    if (held)
        showLatestFrames();
    m_held = held;
    if (!held)
        showNewestPage();
}

void FrameListController::showNewestPage()
{
    if (!m_doc)
        return;
    // Identifiers that moved on while held show their latest frame.
    m_doc->BringRowsUpToDate(m_doc->nextRowPosition().x - m_surface.scrollPosition().x);
    const auto size = static_cast<std::int32_t>(m_doc->displaySize());
    m_doc->setPageWindow(std::max(0, size - CVEXODoc::PageSize), size);
    SetScrollMode(Short);
    m_doc->RefreshPage(m_rowParent);
    SetScrollMode(Page);
}

void FrameListController::StepPage(int direction)
{
    if (!m_doc)
        return;
    if (direction == StepPrevious) {
        SetScrollMode(Short);
        const bool more = m_doc->PreviousPage(m_rowParent);
        EnableNavigation(Navigation::Middle);
        if (!more)
            EnableNavigation(Navigation::First);
        SetScrollMode(Page);
    } else if (direction == StepNext) {
        SetScrollMode(Short);
        const bool more = m_doc->NextPage(m_rowParent);
        EnableNavigation(Navigation::Middle);
        if (!more)
            EnableNavigation(Navigation::Last);
        SetScrollMode(Page);
    }
}

void FrameListController::GoToPage(std::uint32_t page)
{
    if (!m_doc)
        return;
    if (page == 0) {
        page = 1;
        m_doc->ResetPageField();
    }

    const std::int32_t pageCount = m_doc->pageCount();
    if (pageCount < 0 || static_cast<std::uint32_t>(pageCount) < page) {
        // The page stays, and so does its number.
        m_doc->ShowPageNumber();
        if (m_messages) {
            const std::string text = pageCount == 1
                ? std::string("There are only one page that can be displayed.")
                : "Please enter the value from 1 to " + std::to_string(pageCount)
                    + " (the last page).";
            m_messages->showMessage(MessageIcon::Error, text);
        }
        return;
    }

    const auto size = static_cast<std::int64_t>(m_doc->displaySize());
    std::int64_t start = (static_cast<std::int64_t>(page) - 1) * CVEXODoc::PageSize;
    std::int64_t end = start + CVEXODoc::PageSize;
    if (end < size) {
        EnableNavigation(start == 0 ? Navigation::First : Navigation::Middle);
    } else {
        // The last page is always a full page and may overlap the one before.
        end = size;
        if (start != 0) {
            start = std::max<std::int64_t>(0, end - CVEXODoc::PageSize);
            EnableNavigation(Navigation::Last);
        } else {
            EnableNavigation(Navigation::First);
        }
    }
    m_doc->setPageWindow(static_cast<std::int32_t>(start), static_cast<std::int32_t>(end));

    SetScrollMode(Short);
    m_doc->RefreshPage(m_rowParent);
    SetScrollMode(Page);
}

void FrameListController::EnableNavigation(int state)
{
    const PagingButtonsState buttons = pagingButtonsFor(state);
    m_surface.enablePagingButtons(buttons.previous, buttons.next);
    if (m_barButtons)
        m_barButtons->enablePageButtons(buttons.previous, buttons.next);
}

void FrameListController::SetScrollMode(int mode)
{
    switch (mode) {
    case ShortToOrigin:
        m_surface.setScrollExtent(ExtentWidth, ShortExtentHeight);
        m_surface.setScrollPosition(0, 0);
        break;
    case PageToOrigin:
        m_surface.setScrollExtent(ExtentWidth, PageExtentHeight);
        m_surface.setScrollPosition(0, 0);
        break;
    case Short:
        m_surface.setScrollExtent(ExtentWidth, ShortExtentHeight);
        break;
    case Page:
        m_surface.setScrollExtent(ExtentWidth, PageExtentHeight);
        break;
    default:
        break;
    }
}

void FrameListController::OnOpenFrameView(std::uint32_t number)
{
    if (!m_doc || m_frameView || !m_frameViews)
        return;
    m_frameView = m_frameViews->openFrameView();
    if (m_frameView)
        m_frameView->SetFrame(m_doc->FindByNumber(number), number, CVEXODoc::NoEdge);
}

void FrameListController::OnShowNextFrame(std::uint32_t number)
{
    showNeighbour(number, CVEXODoc::Next);
}

void FrameListController::OnShowPrevFrame(std::uint32_t number)
{
    showNeighbour(number, CVEXODoc::Previous);
}

void FrameListController::showNeighbour(std::uint32_t number, int direction)
{
    if (!m_doc || !m_frameView)
        return;
    int edge = CVEXODoc::NoEdge;
    const CAN_Packet frame = m_doc->FindNeighbour(number, direction, edge);
    m_frameView->SetFrame(frame, frame.number, edge);
}

void FrameListController::closeFrameView()
{
    DetailedFrameView *view = m_frameView;
    m_frameView = nullptr;
    if (view)
        view->closeView();
}
