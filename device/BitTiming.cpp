#include "device/BitTiming.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace BitTiming {

namespace {

int quantaPerBit(const CAN_Timing &timing)
{
    return 1 + timing.tseg1 + timing.tseg2;
}

bool fieldsValid(const CAN_Timing &timing)
{
    if (timing.btr < 1 || timing.clkDiv >= ClockDividers.size())
        return false;
    if (timing.tseg1 < 1 || timing.tseg1 > 15 || timing.tseg2 < 1 || timing.tseg2 > 7)
        return false;
    if (timing.sjw > 3 || timing.sjw + 1 > timing.tseg2)
        return false;
    const int quanta = quantaPerBit(timing);
    return quanta >= MinQuanta && quanta <= MaxQuanta;
}

bool rateInRange(double bitsPerSecond)
{
    // Half a bit per second of slack so that 1000.0004 kbit/s does not fail.
    return bitsPerSecond >= MinBitrate - 0.5 && bitsPerSecond <= MaxBitrate + 0.5;
}

} // namespace

bool isValid(const CAN_Timing &timing)
{
    return fieldsValid(timing) && rateInRange(bitrate(timing));
}

double bitrate(const CAN_Timing &timing)
{
    if (timing.btr == 0 || timing.clkDiv >= ClockDividers.size() || quantaPerBit(timing) == 0)
        return 0.0;
    const double divisor =
        static_cast<double>(ClockDividers[timing.clkDiv]) * timing.btr * quantaPerBit(timing);
    return ClockHz / divisor;
}

bool calculate(std::uint32_t bitsPerSecond, CAN_Timing &timing)
{
    if (!rateInRange(bitsPerSecond))
        return false;

    struct Candidate {
        CAN_Timing timing;
        double errorPpm = std::numeric_limits<double>::max();
        double samplePointDistance = 0;
        int quanta = 0;
    };
    Candidate best;
    bool found = false;

    for (std::uint8_t selector = 0; selector < ClockDividers.size(); ++selector) {
        for (int quanta = MaxQuanta; quanta >= MinQuanta; --quanta) {
            // The prescaler that comes closest for this divider and bit length.
            const double exact = static_cast<double>(ClockHz)
                / (static_cast<double>(ClockDividers[selector]) * quanta * bitsPerSecond);
            const long btr = std::lround(exact);
            if (btr < 1 || btr > 255)
                continue;
            // Phase segment 2 that puts the sample point nearest 87.5 %.
            int tseg2 = static_cast<int>(std::lround(quanta * 0.125));
            tseg2 = std::max(tseg2, 1);
            int tseg1 = quanta - 1 - tseg2;
            if (tseg1 > 15) {
                tseg1 = 15;
                tseg2 = quanta - 1 - tseg1;
            }
            if (tseg2 > 7 || tseg1 < 1)
                continue;
            CAN_Timing t;
            t.clkDiv = selector;
            t.btr = static_cast<std::uint8_t>(btr);
            t.tseg1 = static_cast<std::uint8_t>(tseg1);
            t.tseg2 = static_cast<std::uint8_t>(tseg2);
            t.sjw = static_cast<std::uint8_t>(std::min(3, tseg2 - 1));
            if (!fieldsValid(t))
                continue;
            // The nearest rate the controller can make is taken, however far:
            // the dialog shows how far it is.
            const double errorPpm = std::abs(bitrate(t) - bitsPerSecond) / bitsPerSecond * 1e6;
            if (!rateInRange(bitrate(t)))
                continue;
            const double distance = std::abs(samplePoint(t) - 87.5);
            // Smaller error first, then the sample point, then finer quanta;
            // on a tie the first found (smallest divider) stays.
            const bool better = !found || errorPpm < best.errorPpm - 1e-9
                || (std::abs(errorPpm - best.errorPpm) <= 1e-9
                    && (distance < best.samplePointDistance - 1e-9
                        || (std::abs(distance - best.samplePointDistance) <= 1e-9
                            && quanta > best.quanta)));
            if (better) {
                best = {t, errorPpm, distance, quanta};
                found = true;
            }
        }
    }
    if (found)
        timing = best.timing;
    return found;
}

bool toKbitPerSecond(const CAN_Timing &timing, std::int32_t &kbitPerSecond)
{
    if (!isValid(timing))
        return false;
    kbitPerSecond = static_cast<std::int32_t>(std::lround(bitrate(timing) / 1000.0));
    return true;
}

float samplePoint(const CAN_Timing &timing)
{
    const int quanta = quantaPerBit(timing);
    if (quanta == 0)
        return 0.0F;
    return static_cast<float>(100.0 * (1 + timing.tseg1) / quanta);
}

} // namespace BitTiming
