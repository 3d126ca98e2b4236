#pragma once

#include "app/MessageReporter.h"
#include "capture/StoreInterfaces.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Recording stand-ins for the windows around the frame store.

struct ShownFrame {
    std::uint32_t number = 0;
    std::uint8_t type = 0;
    std::uint32_t id = 0;
    std::uint8_t dlc = 0;
    std::string dataText;
    std::string timeText;
};

// The state of one row control, kept alive after the row is destroyed so that
// a test can look at rows the store has already released.
struct RowRecord {
    RowRect rect;
    ShownFrame frame;
    int placeCount = 0;
    int updateCount = 0;
    std::int32_t lastXOrigin = 0;
    bool destroyed = false;
};

class RecordingRowFactory : public RowFactory {
public:
    std::unique_ptr<FrameRow> createRow(const RowRect &rect, RowParent *) override
    {
        auto record = std::make_shared<RowRecord>();
        record->rect = rect;
        created.push_back(record);
        return std::make_unique<Row>(record);
    }

    // Rows that are still alive, in creation order.
    std::vector<std::shared_ptr<RowRecord>> liveRows() const
    {
        std::vector<std::shared_ptr<RowRecord>> live;
        for (const auto &row : created) {
            if (!row->destroyed)
                live.push_back(row);
        }
        return live;
    }

    // Frame numbers the live rows show, top to bottom.
    std::vector<std::uint32_t> shownNumbers() const
    {
        std::vector<std::uint32_t> numbers;
        for (const auto &row : liveRows())
            numbers.push_back(row->frame.number);
        return numbers;
    }

    // Updates received by the rows that are still alive.
    int totalUpdates() const
    {
        int total = 0;
        for (const auto &row : liveRows())
            total += row->updateCount;
        return total;
    }

    std::vector<std::shared_ptr<RowRecord>> created;

private:
    class Row : public FrameRow {
    public:
        explicit Row(std::shared_ptr<RowRecord> record) : m_record(std::move(record)) { }
        ~Row() override { m_record->destroyed = true; }
        void PlaceFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                        std::string_view dataText, std::string_view timeText) override
        {
            m_record->frame = {number, type, id, dlc, std::string(dataText), std::string(timeText)};
            ++m_record->placeCount;
        }
        void UpdateFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                         std::uint8_t dlc, std::string_view dataText, std::string_view timeText,
                         std::int32_t xOrigin) override
        {
            m_record->frame = {number, type, id, dlc, std::string(dataText), std::string(timeText)};
            m_record->lastXOrigin = xOrigin;
            ++m_record->updateCount;
        }

    private:
        std::shared_ptr<RowRecord> m_record;
    };
};

class RecordingMainFrame : public MainFrameLink {
public:
    void SetLinkFlag(std::uint8_t mask, bool on) override
    {
        flagCalls.emplace_back(mask, on);
        linkStatus = on ? (linkStatus | mask) : (linkStatus & ~mask);
    }
    void SetProgressPosition(int position) override { progress = position; }
    void UpdateErrorStatusDialog() override { ++dialogUpdates; }

    std::vector<std::pair<std::uint8_t, bool>> flagCalls;
    std::uint8_t linkStatus = 0;
    int progress = -1;
    int dialogUpdates = 0;
};

class RecordingControlBar : public ControlBarLink {
public:
    void SetCounters(int tx, int rx) override
    {
        txText = std::to_string(tx);
        rxText = std::to_string(rx);
    }
    void SetPageCountText(const std::string &text) override { pageCountText = text; }
    void SetPageFieldText(const std::string &text) override { pageFieldText = text; }

    std::string txText = "0";
    std::string rxText = "0";
    std::string pageCountText = "/1";
    std::string pageFieldText = "1";
};

class RecordingView : public ViewLink, public RowParent {
public:
    int horizontalScrollPosition() const override { return scrollX; }
    void EnableNavigation(int state) override { navigation.push_back(state); }

    int lastNavigation() const { return navigation.empty() ? -1 : navigation.back(); }

    int scrollX = 0;
    std::vector<int> navigation;
};

class RecordingMessageReporter : public MessageReporter {
public:
    struct Message {
        MessageIcon icon;
        std::string text;
        std::string caption;
    };

    void showMessage(MessageIcon icon, const std::string &text,
                     const std::string &caption = AppTitle) override
    {
        messages.push_back({icon, text, caption});
        if (onShow)
            onShow();
    }

    std::vector<Message> messages;
    // Runs while the "box" is open, as a modal box runs a nested event loop.
    std::function<void()> onShow;
};
