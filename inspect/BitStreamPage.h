#pragma once

#include "capture/CanBitStream.h"

#include <QWidget>

#include <array>
#include <cstdint>

class CAN_Packet;

// One frame as the bus carries it: a row of cells, one per bit, that wraps at
// the page's width, with the level line above the cells (recessive high,
// dominant low), the fields named below them, stuff bits in their own colour
// and marked, and a caption with the totals, the CRC and the frame's duration
// at the adapter's bit rate.
class BitStreamPage : public QWidget {
    Q_OBJECT

public:
    explicit BitStreamPage(QWidget *parent = nullptr);

    // A record whose frame bit is clear shows no bits.
    void setFrame(const CAN_Packet &packet);
    // The connected adapter's rate; while disconnected the default rate is
    // shown and said to be assumed.
    // measured: while disconnected, the rate is the capture's in Statistics.
    void setBitRate(std::uint32_t bitsPerSecond, bool connected, bool measured = false);

    const CanBitStream &stream() const { return m_stream; }
    std::array<QString, 2> captionLines() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    CanBitStream m_stream;
    std::uint8_t m_type = 0;
    std::uint32_t m_id = 0;
    std::uint8_t m_dlc = 0;
    std::uint32_t m_bitsPerSecond = 500'000;
    bool m_connected = false;
    bool m_measured = false;
};
