#pragma once

#include <cstdint>
#include <optional>
#include <string>

// How a message keeps the cycle its database gives it.
enum class CycleState {
    NotGiven, // the database gives no cycle
    OnTime,
    Late,    // the latest interval was more than half a cycle too long
    Missing, // nothing for three cycles, and at least half a second
};

// expectedMs: the database's cycle; lastIntervalUs: the latest measured
// interval (0 when there is none yet); sinceLastUs: from the latest frame to now.
CycleState cycleState(std::optional<std::uint32_t> expectedMs, std::int64_t lastIntervalUs,
                      std::int64_t sinceLastUs);

// "10", "10 late" or "10 missing"; empty when no cycle is given.
std::string cycleStateText(std::optional<std::uint32_t> expectedMs, CycleState state);
