#pragma once

namespace corvane {

// Whether Corvane starts with the user's desktop session. The state is read
// afresh each time, so a change made in the desktop's own session settings
// shows. Main thread.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    virtual bool isEnabled() const = 0;
    // Turns starting at login on or off; false, with the reason on standard
    // error, when the change could not be made.
    virtual bool setEnabled(bool enabled) = 0;
};

} // namespace corvane
