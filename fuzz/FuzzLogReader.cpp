// A libFuzzer target for one log format (VEXO_FUZZ_FORMAT). Any input may be
// refused, but none may crash, leak or read out of bounds; and whatever is
// read must survive being written and read again, in its own format exactly
// and as a text log in every field that format carries.

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

// The fields both formats carry: all but the data bytes past the DLC and the texts.
bool sameFrame(const CAN_Packet &a, const CAN_Packet &b, bool texts)
{
    const int bytes = std::min<int>(a.dlc, 8);
    if (a.number != b.number || a.type != b.type || a.id != b.id || a.dlc != b.dlc
        || a.timestamp != b.timestamp || a.shown != b.shown
        || !std::equal(a.data, a.data + bytes, b.data))
        return false;
    if (!texts)
        return true;
    return std::equal(a.data, a.data + 8, b.data) && a.dataText == b.dataText
        && a.timeText == b.timeText;
}

void checkRoundTrip(LogFormat format, const std::vector<CAN_Packet> &frames, bool exact)
{
    std::string written;
    const LogStatus status = writeLog(format, frames, written);
    if (status == LogStatus::PacketError && format == LogFormat::Text)
        return;
    if (status != LogStatus::Ok)
        fail("a capture that was read could not be written");
    std::vector<CAN_Packet> again;
    if (readLog(format, written, again) != LogStatus::Ok)
        fail("a log written from a capture does not read");
    if (again.size() != frames.size())
        fail("writing and reading again changed the frame count");
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (!sameFrame(frames[i], again[i], exact))
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
    checkRoundTrip(Format, frames, true);
    if (Format != LogFormat::Text)
        checkRoundTrip(LogFormat::Text, frames, false);
    return 0;
}
