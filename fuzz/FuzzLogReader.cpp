// A libFuzzer target for one log format (VEXO_FUZZ_FORMAT). Any input may be
// refused, but none may crash, leak or read out of bounds; and whatever is
// read must survive being written and read again, in its own format exactly
// and in every other format in the fields that format carries (where that
// format can hold the frames at all).

#include "capture/CanPacket.h"
#include "logfile/LogFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "log fuzzing: %s\n", what);
    std::abort();
}

enum class Carried {
    Everything,
    AllButTexts,   // the text log: no data bytes past the DLC, texts as written
    BusFieldsOnly, // candump, ASC: kind, direction, identifier, DLC, data, time
};

Carried carriedBy(LogFormat written, LogFormat read)
{
    if (written == read || written == LogFormat::Binary)
        return Carried::Everything;
    if (written == LogFormat::Candump || written == LogFormat::Asc)
        return Carried::BusFieldsOnly;
    return Carried::AllButTexts;
}

bool sameFrame(const CAN_Packet &a, const CAN_Packet &b, Carried carried)
{
    if (carried == Carried::BusFieldsOnly) {
        const int bytes = storedByteCount(a.type, a.dlc);
        return (a.type & 0x17) == b.type && a.id == b.id && a.dlc == b.dlc
            && a.timestamp == b.timestamp && std::equal(a.data, a.data + bytes, b.data);
    }
    const int bytes = std::min<int>(a.dlc, 8);
    if (a.number != b.number || a.type != b.type || a.id != b.id || a.dlc != b.dlc
        || a.timestamp != b.timestamp || a.shown != b.shown
        || !std::equal(a.data, a.data + bytes, b.data))
        return false;
    if (carried == Carried::AllButTexts)
        return true;
    return std::equal(a.data, a.data + 8, b.data) && a.dataText == b.dataText
        && a.timeText == b.timeText;
}

void checkRoundTrip(LogFormat format, const std::vector<CAN_Packet> &frames, Carried carried)
{
    std::string written;
    const LogStatus status = writeLog(format, frames, written);
    if (status == LogStatus::PacketError && format != LogFormat::Binary)
        return;
    if (status != LogStatus::Ok)
        fail("a capture that was read could not be written");
    std::vector<CAN_Packet> again;
    if (readLog(format, written, again) != LogStatus::Ok)
        fail("a log written from a capture does not read");
    if (again.size() != frames.size())
        fail("writing and reading again changed the frame count");
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (!sameFrame(frames[i], again[i], carried))
            fail("writing and reading again changed a frame");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    constexpr LogFormat Format = VEXO_FUZZ_FORMAT;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    std::vector<CAN_Packet> frames;
    if (readLog(Format, bytes, frames) != LogStatus::Ok) {
        if (!frames.empty())
            fail("a refused log left frames behind");
        return 0;
    }
    for (const LogFormat written :
         {LogFormat::Binary, LogFormat::Text, LogFormat::Candump, LogFormat::Asc})
        checkRoundTrip(written, frames, carriedBy(written, Format));
    return 0;
}
