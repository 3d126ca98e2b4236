#include "transmit/HexFieldValidator.h"

#include "transmit/HexText.h"

#include <QLineEdit>

HexFieldValidator::HexFieldValidator(QLineEdit *field, int limit, bool hexDigitsOnly)
    : QValidator(field), m_limit(limit), m_hexDigitsOnly(hexDigitsOnly)
{
    // The field's text while it is validated is already the edited one.
    m_lengthBefore = field->text().size();
    connect(field, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_lengthBefore = text.size(); });
}

QValidator::State HexFieldValidator::validate(QString &input, int &) const
{
    input = input.toUpper();
    if (input.size() > m_limit && input.size() > m_lengthBefore)
        return Invalid;
    if (m_hexDigitsOnly) {
        for (const QChar c : input) {
            if (c.unicode() > 0x7F || !IsUpperHexDigit(static_cast<char>(c.unicode())))
                return Invalid;
        }
    }
    return Acceptable;
}
