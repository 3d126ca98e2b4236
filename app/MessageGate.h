#pragma once

#include "app/MessageReporter.h"

// Passes messages on to the user until it is closed. The main frame closes it
// first thing when it closes, so that no message box (one queued before, or
// one that a window left open would raise) appears after the main window.
class MessageGate : public MessageReporter {
public:
    explicit MessageGate(MessageReporter &target) : m_target(target) { }

    void close() { m_closed = true; }
    bool isClosed() const { return m_closed; }

    void showMessage(MessageIcon icon, const std::string &text,
                     const std::string &caption = AppTitle) override
    {
        if (!m_closed)
            m_target.showMessage(icon, text, caption);
    }

private:
    MessageReporter &m_target;
    bool m_closed = false;
};
