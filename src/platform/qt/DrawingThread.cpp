// SPDX-License-Identifier: MIT
#include "platform/qt/DrawingThread.h"

#include <QSemaphore>
#include <QThreadPool>
#include <memory>

bool DrawingThread::Keep(int waitMs) {
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setExpiryTimeout(-1);  // before the thread exists: it then never ends
    pool->setMaxThreadCount(1);
    // Shared: a task that never ran is never deleted, nor is what it holds.
    const auto ran = std::make_shared<QSemaphore>();
    pool->start([ran] { ran->release(); });
    return ran->tryAcquire(1, waitMs);
}
