#pragma once

#include <functional>
#include <string>

namespace corvane {

// The application's own windows and its end. Main thread.
class Application {
public:
    virtual ~Application() = default;
    // Shows `message` with one button titled `buttonTitle`; `pressed` runs on
    // the main thread once the user has pressed it.
    virtual void showAlert(const std::string& message, const std::string& buttonTitle, std::function<void()> pressed)
        = 0;
    // Ends the process through the toolkit's orderly shutdown.
    virtual void terminate() = 0;
};

} // namespace corvane
