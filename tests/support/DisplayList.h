#pragma once

#include "capture/FrameStore.h"

#include <cstdint>
#include <vector>

// The frame numbers in the store's display list, in display order.
inline std::vector<std::uint32_t> displayNumbers(const CVEXODoc &doc)
{
    std::vector<std::uint32_t> numbers;
    for (std::size_t i = 0; i < doc.displaySize(); ++i)
        numbers.push_back(doc.displayEntry(i).number);
    return numbers;
}
