#pragma once

#include "core/Application.h"

#include <QMessageBox>
#include <QPointer>

namespace corvane {

// The application port over Qt Widgets: an alert is a message box holding only
// the message, as plain text, and one button; termination leaves the event
// loop, so `main` returns in order. Main thread.
class WidgetApplication final : public Application {
public:
    void showAlert(const std::string& message, const std::string& buttonTitle, std::function<void()> pressed) override;
    void terminate() override;

    // The alert last shown, while it is open.
    QMessageBox* currentAlert() const { return m_alert; }

private:
    QPointer<QMessageBox> m_alert;
};

} // namespace corvane
