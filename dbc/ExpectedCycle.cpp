#include "dbc/ExpectedCycle.h"

#include <algorithm>

CycleState cycleState(std::optional<std::uint32_t> expectedMs, std::int64_t lastIntervalUs,
                      std::int64_t sinceLastUs)
{
    if (!expectedMs || *expectedMs == 0)
        return CycleState::NotGiven;
    const std::int64_t cycleUs = static_cast<std::int64_t>(*expectedMs) * 1000;
    // Frames come to the window in batches, so silence is judged generously.
    if (sinceLastUs > std::max<std::int64_t>(3 * cycleUs, 500'000))
        return CycleState::Missing;
    if (lastIntervalUs > cycleUs + cycleUs / 2)
        return CycleState::Late;
    return CycleState::OnTime;
}

std::string cycleStateText(std::optional<std::uint32_t> expectedMs, CycleState state)
{
    if (!expectedMs || state == CycleState::NotGiven)
        return {};
    std::string text = std::to_string(*expectedMs);
    if (state == CycleState::Late)
        text += " late";
    else if (state == CycleState::Missing)
        text += " missing";
    return text;
}
