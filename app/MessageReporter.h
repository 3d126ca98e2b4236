#pragma once

#include <string>

inline constexpr const char *AppTitle = "Vexo View";

enum class MessageIcon {
    Error,   // failures
    Warning, // warnings and confirmations (the exclamation icon)
    Information,
};

// Shows a message to the user and waits until it is acknowledged. Tests use a
// recording implementation instead of blocking boxes.
class MessageReporter {
public:
    virtual ~MessageReporter() = default;
    virtual void showMessage(MessageIcon icon, const std::string &text,
                             const std::string &caption = AppTitle) = 0;
};
