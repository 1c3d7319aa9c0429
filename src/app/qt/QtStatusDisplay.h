#pragma once
// The status display on the Qt event loop: the headless mode's window, and the model a Qt window
// can paint from (its OnChange) while overriding the message box.

#include "app/StatusDisplay.h"

namespace tolvak {

class QtStatusDisplay : public StatusDisplay {
public:
    using StatusDisplay::StatusDisplay;
    /// The event loop's pending events, then the queue's calls.
    void processMessages() override;
    /// The event loop until done() holds.
    void waitUntil(const std::function<bool()>& done) override;
};

}  // namespace tolvak
