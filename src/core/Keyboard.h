#pragma once

namespace corvane {

// The keyboard's state at this moment. Main thread.
class Keyboard {
public:
    virtual ~Keyboard() = default;
    // True while either Option (Alt) key is held down.
    virtual bool isOptionKeyHeld() const = 0;
};

} // namespace corvane
