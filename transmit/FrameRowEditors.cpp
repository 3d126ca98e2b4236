#include "transmit/FrameRowEditors.h"

#include "transmit/HexFieldValidator.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLineEdit>

namespace {

QLineEdit *hexField(QWidget *parent, int limit, bool hexDigitsOnly, int characters,
                    HexFieldValidator **validator = nullptr)
{
    auto *field = new QLineEdit(parent);
    auto *check = new HexFieldValidator(field, limit, hexDigitsOnly);
    field->setValidator(check);
    const QFontMetrics metrics(field->font());
    field->setFixedWidth(metrics.horizontalAdvance(QString(characters, QLatin1Char('D'))) + 12);
    if (validator)
        *validator = check;
    return field;
}

} // namespace

FrameRowEditors::FrameRowEditors(QWidget *parent, bool hexDigitsOnly)
{
    m_kind = new QComboBox(parent);
    for (const FrameKind &kind : FrameKinds)
        m_kind->addItem(QString::fromLatin1(kind.label.data(), qsizetype(kind.label.size())));
    m_identifier =
        hexField(parent, FrameKinds[0].identifierLength, hexDigitsOnly, 8, &m_identifierValidator);
    m_dlc = new QComboBox(parent);
    for (int dlc = 0; dlc <= MaxDlc; ++dlc)
        m_dlc->addItem(QString::number(dlc));
    for (QLineEdit *&field : m_data)
        field = hexField(parent, DataFieldLength, hexDigitsOnly, DataFieldLength);
}

void FrameRowEditors::addToGrid(QGridLayout *grid, int row, int firstColumn) const
{
    grid->addWidget(m_kind, row, firstColumn);
    grid->addWidget(m_identifier, row, firstColumn + 1);
    grid->addWidget(m_dlc, row, firstColumn + 2);
    for (int i = 0; i < DataFieldCount; ++i)
        grid->addWidget(m_data[static_cast<std::size_t>(i)], row, firstColumn + 3 + i);
}

FrameRowFields FrameRowEditors::fields() const
{
    FrameRowFields fields;
    fields.kind = m_kind->currentIndex();
    fields.identifier = m_identifier->text().toStdString();
    fields.dlc = m_dlc->currentIndex();
    for (std::size_t i = 0; i < m_data.size(); ++i)
        fields.data[i] = m_data[i]->text().toStdString();
    return fields;
}

void FrameRowEditors::setKind(int kind)
{
    m_kind->setCurrentIndex(kind);
}

void FrameRowEditors::setDlc(int dlc)
{
    m_dlc->setCurrentIndex(dlc);
}

void FrameRowEditors::setData(const std::array<std::string_view, DataFieldCount> &data)
{
    for (std::size_t i = 0; i < m_data.size(); ++i)
        m_data[i]->setText(QString::fromLatin1(data[i].data(), qsizetype(data[i].size())));
}

void FrameRowEditors::setIdentifier(std::string_view text)
{
    m_identifier->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
}

void FrameRowEditors::setIdentifierLength(int length)
{
    m_identifierValidator->setLimit(length);
}

int FrameRowEditors::identifierLength() const
{
    return m_identifierValidator->limit();
}
