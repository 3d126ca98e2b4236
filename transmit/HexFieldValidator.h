#pragma once

#include <QValidator>

class QLineEdit;

// What a hexadecimal field lets the user type: letters become upper case as
// they are typed, and an edit that would make the text longer than the limit
// is refused. A longer text already there (a limit lowered after it was
// written) stays until the user shortens it. With hexDigitsOnly, characters
// other than '0'-'9' and 'A'-'F' are refused as well; otherwise they are left
// for the field check to find.
class HexFieldValidator : public QValidator {
    Q_OBJECT

public:
    HexFieldValidator(QLineEdit *field, int limit, bool hexDigitsOnly);

    void setLimit(int limit) { m_limit = limit; }
    int limit() const { return m_limit; }

    State validate(QString &input, int &pos) const override;

private:
    int m_limit = 0;
    // The length of the field's text before the edit being validated.
    qsizetype m_lengthBefore = 0;
    bool m_hexDigitsOnly = false;
};
