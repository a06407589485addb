#pragma once

#include "core/Application.h"

namespace corvane {

// The application port over Qt Widgets: an alert is a message box holding only
// the message, as plain text, and one button; termination leaves the event
// loop, so `main` returns in order. Main thread.
class WidgetApplication final : public Application {
public:
    void showAlert(const std::string& message, const std::string& buttonTitle, std::function<void()> pressed) override;
    void terminate() override;
};

} // namespace corvane
