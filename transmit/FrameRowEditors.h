#pragma once

#include "transmit/TransmitRows.h"

#include <array>

class HexFieldValidator;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QWidget;

// The editors of one frame row, shared by the transmit rows and the response
// pane: the kind list, the identifier, the DLC list and the eight data fields.
// The widgets belong to the parent they are made for.
class FrameRowEditors {
public:
    // hexDigitsOnly: the fields refuse anything but hexadecimal digits as it is
    // typed (the response pane, which checks nothing afterwards).
    FrameRowEditors(QWidget *parent, bool hexDigitsOnly);

    // Kind, identifier, DLC and data 0 to 7 in consecutive columns of a row.
    void addToGrid(QGridLayout *grid, int row, int firstColumn) const;

    FrameRowFields fields() const;
    void setKind(int kind);
    void setDlc(int dlc);
    void setData(const std::array<std::string_view, DataFieldCount> &data);
    void setIdentifier(std::string_view text);
    void setIdentifierLength(int length);
    // The identifier's length limit; its text is never shortened by it.
    int identifierLength() const;

    QComboBox *kind() const { return m_kind; }
    QLineEdit *identifier() const { return m_identifier; }
    QComboBox *dlc() const { return m_dlc; }
    QLineEdit *data(int i) const { return m_data[static_cast<std::size_t>(i)]; }

private:
    QComboBox *m_kind = nullptr;
    QLineEdit *m_identifier = nullptr;
    HexFieldValidator *m_identifierValidator = nullptr;
    QComboBox *m_dlc = nullptr;
    std::array<QLineEdit *, DataFieldCount> m_data{};
};
