#pragma once

#include "device/BusPort.h"
#include "device/FaultConfinement.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <vector>

// The kinds of simulated bus the built-in adapters sit on.
enum class BusProfile {
    Vehicle,   // a handful of ECUs, periodic traffic, remote frames answered, occasional errors
    Quiet,     // only what this adapter sends (a silent node acknowledges)
    Saturated, // random frames back to back at the full bit rate
};

// A simulated CAN bus with this adapter's controller on it. Time is bus time;
// the bus runs only when advanced. Frames occupy the bus for their real
// length (stuff bits included) at the bit rate, contend by arbitration (lowest
// identifier wins) and may be hit by errors, which the nodes retransmit.
class VirtualBus : public BusPort {
public:
    struct Options {
        BusProfile profile = BusProfile::Quiet;
        std::uint32_t bitrate = 500'000;
        std::uint64_t seed = 1;
        bool autoRetransmit = true; // ART: resend own frames that met an error
        bool busOffRecovery = true; // ABOR: leave bus off by itself
        // Probability of an error in a frame; negative: the profile's own.
        double errorRate = -1.0;
        // The saturated bus stops after this many of its own frames (0: never).
        std::uint64_t frameLimit = 0;
    };

    explicit VirtualBus(const Options &options);

    void transmit(const CAN_Frame &frame, BusTime at) override;
    BusTime nextEventTime() const override;
    void advanceTo(BusTime t, BusObserver &observer) override;
    CAN_ErrorStatus errorStatus() const override { return m_fault.status(); }
    std::optional<std::uint32_t> busBitrate() const override { return m_options.bitrate; }

    // Frames that ran to completion on the bus, from any node.
    std::uint64_t completedFrames() const { return m_completed; }
    // The saturated generator's frames that ran to completion.
    std::uint64_t generatedFrames() const { return m_generated; }
    // The next bus error hits this adapter's own next frame (tests).
    void injectTransmitError() { m_forceOwnError = true; }
    // Nothing the bus would have done before t happens: it goes on from t as
    // if it had been idle (the process was stalled, say). What was waiting
    // to be sent is sent from t on.
    void skipTo(BusTime t) override;

    // The vehicle bus has error episodes, as a loose connector on another
    // node's branch would cause: every EpisodeSpacing (give or take a third)
    // for EpisodeLength, three of every five frames the other nodes send meet
    // an error and are sent again. The receive error counter climbs by about
    // a hundred and takes another half second to come down, so it stays
    // above zero for a second or more without turning error passive.
    static constexpr BusTime EpisodeLength = std::chrono::seconds(1);
    static constexpr BusTime EpisodeSpacing = std::chrono::seconds(30);

private:
    static constexpr int OwnSource = -1;
    static constexpr int SaturatedSource = -2;

    struct Node {
        CAN_Frame frame; // identifier, kind and DLC; payload filled when due
        BusTime period{0};
        BusTime nextDue{0};
        bool answersRemote = false;
        std::optional<BusTime> pendingSince;
        std::uint32_t counter = 0;
    };

    struct Transmission {
        int source = OwnSource;
        CAN_Frame frame;
        BusTime end{0};
        std::optional<FaultConfinement::Error> error;
    };

    struct Candidate {
        int source = OwnSource;
        CAN_Frame frame;
    };

    void addVehicleNodes();
    void fillPayload(Node &node, BusTime at);
    void newSaturatedFrame();
    bool saturatedActive() const;
    BusTime bitsToTime(std::uint64_t bits) const;
    std::optional<Candidate> arbitrate(BusTime start);
    void begin(const Candidate &candidate, BusTime start);
    bool inEpisode(BusTime t);
    BusTime episodeGap();
    void complete(const Transmission &transmission, BusObserver &observer);
    void answerRemote(const CAN_Frame &request, BusTime at);

    Options m_options;
    double m_errorRate = 0.0;
    std::mt19937_64 m_random;
    FaultConfinement m_fault;
    std::deque<std::pair<CAN_Frame, BusTime>> m_own;
    std::vector<Node> m_nodes;
    CAN_Frame m_saturatedFrame;
    std::optional<Transmission> m_current;
    BusTime m_idleSince{0};
    std::optional<BusTime> m_recoverAt;
    std::uint64_t m_completed = 0;
    std::uint64_t m_generated = 0;
    bool m_forceOwnError = false;
    BusTime m_nextEpisode = BusTimeNever;
    BusTime m_episodeEnd{0};
    std::uint64_t m_episodeAttempts = 0;
};
