#pragma once

#include "inspect/BitDiagramLayout.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <string>

class QFont;

// The bit diagram inside the Detailed Frame View: one frame as a table of
// coloured cells, drawn from the field model it was given.
class CPacketView : public QWidget {
    Q_OBJECT

public:
    static constexpr int DiagramWidth = 1120;
    static constexpr int DiagramHeight = 500;

    explicit CPacketView(QWidget *parent = nullptr);

    // Stores the model; it does not repaint by itself.
    void SetFieldModel(std::uint8_t type, std::uint8_t dlc,
                       const std::array<std::string, FrameFieldModel::ValueCount> &values,
                       const std::array<std::string, FrameFieldModel::BitCount> &bits,
                       const std::array<std::string, FrameFieldModel::DataByteCount> &dataValues,
                       const std::array<std::string, FrameFieldModel::DataBitCount> &dataBits);
    const BitDiagram::Model &model() const { return m_model; }

    // Arial by the height of its character cell, 16 or 19 pixels.
    static const QFont &diagramFont(int cellHeight);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void OnDraw(QPainter &painter) const;

    BitDiagram::Model m_model;
};
