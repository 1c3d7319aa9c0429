#include "app/qt/QtEventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include "platform/UiQueue.h"

namespace tolvak {

QtEventPump::QtEventPump() {
    UiQueue& queue = UiQueue::instance();
    queue.bindToCurrentThread();
    QCoreApplication* app = QCoreApplication::instance();
    queue.setWakeUp([app] {
        // From any thread: the waiting calls run on the loop of the application's thread.
        QMetaObject::invokeMethod(app, [] { UiQueue::instance().processPending(); },
                                  Qt::QueuedConnection);
    });
}

QtEventPump::~QtEventPump() {
    UiQueue& queue = UiQueue::instance();
    queue.setWakeUp(nullptr);
    queue.unbind();
}

void QtEventPump::processMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    UiQueue::instance().processPending();
}

void QtEventPump::waitUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (UiQueue::instance().processPending() > 0) continue;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace tolvak
