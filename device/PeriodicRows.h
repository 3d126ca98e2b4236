#pragma once

#include "capture/CanFrame.h"
#include "device/BusPort.h"

#include <array>
#include <cstdint>
#include <optional>

// The adapter's four periodic transmit rows. Each running row is due at fixed
// multiples of its period from the moment it was started, however late a
// frame actually went out, so the rows do not drift.
class PeriodicRows {
public:
    static constexpr int RowCount = 4;
    static constexpr std::uint16_t DefaultPeriodMs = 100;
    // A row more than this far behind (the system was suspended, say) skips
    // the frames it missed instead of sending them all at once.
    static constexpr BusTime MaxBacklog = std::chrono::seconds(1);

    // Each returns false for a row outside 0 to 3 (and changes nothing).
    bool load(int row, const CAN_Frame &frame);
    // A period of 0 is refused. A running row keeps its last due time and
    // continues with the new period from there.
    bool setPeriod(int row, std::uint16_t periodMs, BusTime now);
    // Starting sends the row at once and then every period; a running row
    // that is started again keeps its rhythm. A row with no frame loaded
    // cannot start.
    bool enable(int row, bool on, BusTime now);
    bool isRunning(int row) const;
    std::uint16_t periodMs(int row) const;

    // A row whose thread was held up (a paused process, a loaded machine)
    // would owe every cycle since: the cycles due a period or more before now
    // are skipped instead, keeping the rows' phase, so that at most the
    // latest one still goes out late.
    void skipMissed(BusTime now);

    // The earliest due time of a running row; BusTimeNever when none runs.
    BusTime nextDue() const;
    // Takes the row due at nextDue() (the lowest row on a tie), reschedules it
    // and returns its frame.
    CAN_Frame fire(BusTime now);

private:
    struct Row {
        CAN_Frame frame;
        bool loaded = false;
        bool running = false;
        std::uint16_t periodMs = DefaultPeriodMs;
        BusTime due{0};
        std::optional<BusTime> lastSent;
    };
    static bool valid(int row) { return row >= 0 && row < RowCount; }
    std::array<Row, RowCount> m_rows;
};
