#pragma once
// The window-less status display on the Qt event loop: the headless mode's window.

#include "app/StatusDisplay.h"

namespace tolvak {

class QtStatusDisplay final : public StatusDisplay {
public:
    using StatusDisplay::StatusDisplay;
    /// The event loop's pending events, then the queue's calls.
    void processMessages() override;
};

}  // namespace tolvak
