#include "app/qt/QtStatusDisplay.h"

#include "app/qt/QtEventPump.h"

namespace tolvak {

void QtStatusDisplay::processMessages() { QtEventPump::processMessages(); }

void QtStatusDisplay::waitUntil(const std::function<bool()>& done) { QtEventPump::waitUntil(done); }

}  // namespace tolvak
