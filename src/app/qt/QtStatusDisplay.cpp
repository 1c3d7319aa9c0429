#include "app/qt/QtStatusDisplay.h"

#include "app/qt/QtEventPump.h"

namespace tolvak {

void QtStatusDisplay::processMessages() { QtEventPump::processMessages(); }

}  // namespace tolvak
