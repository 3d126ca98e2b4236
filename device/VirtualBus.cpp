#include "device/VirtualBus.h"

#include "device/FrameRules.h"

#include <algorithm>
#include <cmath>

using namespace std::chrono_literals;

namespace {

// Error flag, error delimiter and intermission after an error.
constexpr int ErrorFrameBits = 6 + 8 + 3;
// Bus-off recovery waits for 128 occurrences of 11 recessive bits.
constexpr int RecoveryBits = 128 * 11;

CAN_Frame makeFrame(std::uint32_t id, bool extended, bool remote, std::uint8_t dlc)
{
    CAN_Frame frame;
    frame.type =
        static_cast<std::uint8_t>(FrameType::FrameBit | (extended ? FrameType::Extended : 0)
                                  | (remote ? FrameType::Remote : 0));
    frame.id = id;
    frame.dlc = dlc;
    return frame;
}

// Arbitration: the identifier as it goes out bit by bit. A standard frame
// beats an extended one with the same base identifier, a data frame a remote
// one.
std::uint64_t arbitrationKey(const CAN_Frame &frame)
{
    const bool extended = (frame.type & FrameType::Extended) != 0;
    const bool remote = (frame.type & FrameType::Remote) != 0;
    const std::uint64_t base = extended ? (frame.id >> 18) & 0x7FF : frame.id & 0x7FF;
    const std::uint64_t low = extended ? frame.id & 0x3FFFF : 0;
    return (base << 21) | (std::uint64_t(extended) << 20) | (low << 1) | std::uint64_t(remote);
}

} // namespace

VirtualBus::VirtualBus(const Options &options) : m_options(options), m_random(options.seed)
{
    m_errorRate = options.errorRate >= 0.0
        ? options.errorRate
        : (options.profile == BusProfile::Vehicle ? 1.0 / 300.0 : 0.0);
    if (m_options.bitrate == 0)
        m_options.bitrate = 500'000;
    if (options.profile == BusProfile::Vehicle) {
        addVehicleNodes();
        // The first episode comes early enough for a user to see one.
        if (options.errorRate < 0.0)
            m_nextEpisode = std::chrono::seconds(5) + episodeGap() / 2;
    }
    if (options.profile == BusProfile::Saturated)
        newSaturatedFrame();
}

void VirtualBus::addVehicleNodes()
{
    struct NodeSetup {
        std::uint32_t id;
        bool extended;
        bool remote;
        std::uint8_t dlc;
        int periodMs;
        bool answersRemote;
    };
    // Engine, wheels, brakes, body, two J1939-style extended messages, a
    // diagnostic node that polls two others by remote frames, and those two
    // nodes, which answer when asked.
    static constexpr NodeSetup setups[] = {
        {0x0C4, false, false, 8, 10, false},      {0x1A0, false, false, 8, 20, false},
        {0x2F0, false, false, 4, 50, false},      {0x3B5, false, false, 2, 100, false},
        {0x18FEF100, true, false, 8, 100, false}, {0x18FEEE00, true, false, 8, 1000, false},
        {0x0E0, false, true, 4, 500, false},      {0x1CDA00F1, true, true, 8, 1000, false},
        {0x0E0, false, false, 4, 0, true},        {0x1CDA00F1, true, false, 8, 0, true},
    };
    std::uniform_int_distribution<int> phase(0, 9);
    for (const NodeSetup &setup : setups) {
        Node node;
        node.frame = makeFrame(setup.id, setup.extended, setup.remote, setup.dlc);
        node.period = std::chrono::milliseconds(setup.periodMs);
        node.nextDue =
            setup.periodMs > 0 ? std::chrono::milliseconds(phase(m_random)) : BusTimeNever;
        node.answersRemote = setup.answersRemote;
        m_nodes.push_back(node);
    }
}

void VirtualBus::fillPayload(Node &node, BusTime at)
{
    const double seconds = std::chrono::duration<double>(at).count();
    const std::uint32_t n = node.counter++;
    CAN_Frame &f = node.frame;
    std::fill(std::begin(f.data), std::end(f.data), std::uint8_t{0});
    if ((f.type & FrameType::Remote) != 0)
        return;
    switch (f.id) {
    case 0x0C4: { // engine speed (0.25 rpm), throttle, rolling counter
        const auto rpm = static_cast<std::uint16_t>((1800 + 900 * std::sin(seconds / 3)) * 4);
        f.data[0] = static_cast<std::uint8_t>(rpm >> 8);
        f.data[1] = static_cast<std::uint8_t>(rpm);
        f.data[2] = static_cast<std::uint8_t>(40 + 30 * std::sin(seconds / 2));
        f.data[7] = static_cast<std::uint8_t>(n & 0x0F);
        break;
    }
    case 0x1A0: { // four wheel speeds (0.01 km/h)
        for (int wheel = 0; wheel < 4; ++wheel) {
            const auto speed =
                static_cast<std::uint16_t>((50 + 20 * std::sin(seconds / 5) + wheel * 0.1) * 100);
            f.data[2 * wheel] = static_cast<std::uint8_t>(speed >> 8);
            f.data[2 * wheel + 1] = static_cast<std::uint8_t>(speed);
        }
        break;
    }
    case 0x2F0: // brake pressure, pedal switch, counter
        f.data[0] = static_cast<std::uint8_t>(std::max(0.0, 60 * std::sin(seconds / 4)));
        f.data[1] = f.data[0] > 10 ? 1 : 0;
        f.data[3] = static_cast<std::uint8_t>(n);
        break;
    case 0x3B5: // doors and lights
        f.data[0] = static_cast<std::uint8_t>((n / 50) & 0x0F);
        f.data[1] = static_cast<std::uint8_t>((n / 20) & 0x03);
        break;
    case 0x0E0: // answer: battery voltage (mV) and uptime counter
        f.data[0] =
            static_cast<std::uint8_t>(static_cast<int>(13800 + 200 * std::sin(seconds)) >> 8);
        f.data[1] = static_cast<std::uint8_t>(static_cast<int>(13800 + 200 * std::sin(seconds)));
        f.data[2] = static_cast<std::uint8_t>(n >> 8);
        f.data[3] = static_cast<std::uint8_t>(n);
        break;
    default: // a counter and slowly changing sensor bytes
        for (int i = 0; i < f.dlc && i < 8; ++i)
            f.data[i] =
                static_cast<std::uint8_t>(i == 0 ? n : 128 + 100 * std::sin(seconds / (i + 1) + i));
        break;
    }
}

void VirtualBus::newSaturatedFrame()
{
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<std::uint32_t> standardId(0x080, 0x7FF);
    std::uniform_int_distribution<std::uint32_t> extendedId(0x00100000, 0x1FFFFFFF);
    std::uniform_int_distribution<int> byte(0, 255);
    const bool extended = percent(m_random) < 25;
    const bool remote = percent(m_random) < 5;
    const int roll = percent(m_random);
    const auto dlc = static_cast<std::uint8_t>(roll < 60 ? 8 : roll % 9);
    m_saturatedFrame =
        makeFrame(extended ? extendedId(m_random) : standardId(m_random), extended, remote, dlc);
    if (!remote) {
        for (int i = 0; i < dlc; ++i)
            m_saturatedFrame.data[i] = static_cast<std::uint8_t>(byte(m_random));
    }
}

bool VirtualBus::saturatedActive() const
{
    return m_options.profile == BusProfile::Saturated
        && (m_options.frameLimit == 0 || m_generated < m_options.frameLimit);
}

BusTime VirtualBus::bitsToTime(std::uint64_t bits) const
{
    const std::uint64_t rate = m_options.bitrate;
    return BusTime((bits * 1'000'000'000ULL + rate / 2) / rate);
}

void VirtualBus::transmit(const CAN_Frame &frame, BusTime at)
{
    // A controller that is bus off sends nothing.
    if (m_fault.isBusOff())
        return;
    m_own.emplace_back(frame, at);
}

BusTime VirtualBus::nextEventTime() const
{
    if (m_current)
        return m_current->end;
    BusTime next = BusTimeNever;
    if (m_recoverAt)
        next = std::min(next, *m_recoverAt);
    if (!m_own.empty())
        next = std::min(next, std::max(m_own.front().second, m_idleSince));
    for (const Node &node : m_nodes) {
        if (node.pendingSince)
            next = std::min(next, std::max(*node.pendingSince, m_idleSince));
        next = std::min(next, node.nextDue);
    }
    if (saturatedActive())
        next = std::min(next, m_idleSince);
    return next;
}

std::optional<VirtualBus::Candidate> VirtualBus::arbitrate(BusTime start)
{
    std::optional<Candidate> winner;
    auto consider = [&](int source, const CAN_Frame &frame) {
        if (!winner || arbitrationKey(frame) < arbitrationKey(winner->frame))
            winner = Candidate{source, frame};
    };
    if (!m_own.empty() && m_own.front().second <= start && !m_fault.isBusOff())
        consider(OwnSource, m_own.front().first);
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes[i].pendingSince && *m_nodes[i].pendingSince <= start)
            consider(static_cast<int>(i), m_nodes[i].frame);
    }
    if (saturatedActive())
        consider(SaturatedSource, m_saturatedFrame);
    return winner;
}

void VirtualBus::begin(const Candidate &candidate, BusTime start)
{
    const int bits = FrameRules::bitCount(candidate.frame);
    Transmission t{candidate.source, candidate.frame, start + bitsToTime(bits), std::nullopt};
    const bool own = candidate.source == OwnSource;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    const bool episodeError = !own && inEpisode(start) && m_episodeAttempts++ % 5 < 3;
    if ((own && m_forceOwnError) || episodeError
        || (m_errorRate > 0.0 && chance(m_random) < m_errorRate)) {
        if (own)
            m_forceOwnError = false;
        using Error = FaultConfinement::Error;
        // A sender sees bit, stuff, form or acknowledgement errors; a
        // receiver stuff, form or CRC errors.
        static constexpr Error ownErrors[] = {Error::BitDominant, Error::BitRecessive, Error::Stuff,
                                              Error::Form, Error::Ack};
        static constexpr Error otherErrors[] = {Error::Stuff, Error::Form, Error::Crc};
        std::uniform_int_distribution<int> ownPick(0, 4);
        std::uniform_int_distribution<int> otherPick(0, 2);
        t.error = own ? ownErrors[ownPick(m_random)] : otherErrors[otherPick(m_random)];
        std::uniform_int_distribution<int> position(1, std::max(1, bits - 14));
        t.end = start + bitsToTime(static_cast<std::uint64_t>(position(m_random)) + ErrorFrameBits);
    }
    m_current = t;
}

BusTime VirtualBus::episodeGap()
{
    const auto spacing = std::chrono::duration_cast<std::chrono::milliseconds>(EpisodeSpacing);
    std::uniform_int_distribution<std::int64_t> gap(spacing.count() * 2 / 3,
                                                    spacing.count() * 4 / 3);
    return std::chrono::milliseconds(gap(m_random));
}

bool VirtualBus::inEpisode(BusTime t)
{
    while (t >= m_nextEpisode) {
        m_episodeEnd = m_nextEpisode + EpisodeLength;
        m_nextEpisode += episodeGap();
        m_episodeAttempts = 0;
    }
    return t < m_episodeEnd;
}

void VirtualBus::skipTo(BusTime t)
{
    // A frame under way is cut off; one of this adapter's own goes out again.
    if (m_current && m_current->end <= t)
        m_current.reset();
    if (!m_current)
        m_idleSince = std::max(m_idleSince, t);
    for (Node &node : m_nodes) {
        if (node.period > BusTime(0) && node.nextDue < t)
            node.nextDue += ((t - node.nextDue) / node.period + 1) * node.period;
    }
}

void VirtualBus::complete(const Transmission &t, BusObserver &observer)
{
    const auto modeBefore = m_fault.mode();
    const CAN_ErrorStatus statusBefore = m_fault.status();
    const bool own = t.source == OwnSource;
    if (t.error) {
        if (own) {
            m_fault.transmitError(*t.error);
            if (!m_options.autoRetransmit || m_fault.isBusOff())
                m_own.pop_front();
            if (m_fault.isBusOff()) {
                m_own.clear();
                if (m_options.busOffRecovery)
                    m_recoverAt = t.end + bitsToTime(RecoveryBits);
            }
        } else if (!m_fault.isBusOff()) {
            m_fault.receiveError(*t.error);
        }
        // The sender keeps its frame and tries again.
        observer.errorStatusChanged(m_fault.status());
        return;
    }

    ++m_completed;
    if (own) {
        m_own.pop_front();
        m_fault.transmitSucceeded();
        observer.frameOnBus(t.frame, true, t.end);
    } else {
        if (t.source == SaturatedSource) {
            ++m_generated;
            newSaturatedFrame();
        } else {
            m_nodes[static_cast<std::size_t>(t.source)].pendingSince.reset();
        }
        if (!m_fault.isBusOff()) {
            m_fault.receiveSucceeded();
            observer.frameOnBus(t.frame, false, t.end);
        }
    }
    if ((t.frame.type & FrameType::Remote) != 0)
        answerRemote(t.frame, t.end);
    // Besides a change of mode, the moment both counters are back at zero is
    // reported, so that nobody keeps showing errors the bus has recovered from.
    const CAN_ErrorStatus status = m_fault.status();
    const bool counted = statusBefore.tec != 0 || statusBefore.rec != 0;
    const bool cleared = status.tec == 0 && status.rec == 0;
    if (m_fault.mode() != modeBefore || (counted && cleared))
        observer.errorStatusChanged(status);
}

void VirtualBus::answerRemote(const CAN_Frame &request, BusTime at)
{
    const auto kind = request.type & FrameType::Extended;
    for (Node &node : m_nodes) {
        if (node.answersRemote && node.frame.id == request.id
            && (node.frame.type & FrameType::Extended) == kind && !node.pendingSince) {
            fillPayload(node, at);
            // The answering node needs a moment to prepare its frame.
            node.pendingSince = at + 200us;
        }
    }
}

void VirtualBus::advanceTo(BusTime t, BusObserver &observer)
{
    for (;;) {
        if (m_current) {
            if (m_current->end > t)
                return;
            const Transmission done = *m_current;
            m_current.reset();
            m_idleSince = done.end;
            complete(done, observer);
            continue;
        }
        const BusTime next = nextEventTime();
        if (next > t || next == BusTimeNever)
            return;
        if (m_recoverAt && *m_recoverAt <= next) {
            m_recoverAt.reset();
            const auto before = m_fault.mode();
            m_fault.recover();
            if (m_fault.mode() != before)
                observer.errorStatusChanged(m_fault.status());
        }
        for (Node &node : m_nodes) {
            if (node.nextDue <= next) {
                // A frame still waiting is replaced by the newer one.
                fillPayload(node, node.nextDue);
                node.pendingSince = node.nextDue;
                node.nextDue += node.period;
            }
        }
        m_idleSince = std::max(m_idleSince, next);
        if (const auto winner = arbitrate(next))
            begin(*winner, next);
    }
}
