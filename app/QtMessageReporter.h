#pragma once

#include "app/MessageReporter.h"

class QWidget;

// Message boxes with an OK button, owned by the given window (or none).
class QtMessageReporter : public MessageReporter {
public:
    explicit QtMessageReporter(QWidget *owner = nullptr) : m_owner(owner) { }
    void setOwner(QWidget *owner) { m_owner = owner; }
    void showMessage(MessageIcon icon, const std::string &text,
                     const std::string &caption = AppTitle) override;

private:
    QWidget *m_owner = nullptr;
};
