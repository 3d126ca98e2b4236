#pragma once

#include <QEventLoop>
#include <QMetaObject>

#include <functional>

// What a modal message box does while it is open: an event loop of its own
// that handles the events pending when it opens, and those they post in turn
// (deferred deletions included), then returns as if the user had pressed OK.
// Give it to RecordingMessageReporter::onShow.
inline void runNestedEventLoop()
{
    QEventLoop loop;
    // Each step queues the next behind whatever is posted by then; after a few
    // steps the events that pending events posted have been handled too.
    int steps = 4;
    std::function<void()> step;
    step = [&] {
        if (--steps <= 0)
            loop.quit();
        else
            QMetaObject::invokeMethod(&loop, step, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(&loop, step, Qt::QueuedConnection);
    loop.exec();
}
