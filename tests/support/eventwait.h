#pragma once

#include <QtCore/QEventLoop>
#include <QtCore/QTimer>

#include <functional>

// QTest::qWaitFor and the QTRY_ macros sleep between rounds of events, which
// starves the engine's message pump (a tiny page then takes seconds to load).
// These run a real event loop instead.
inline bool waitUntil(const std::function<bool()> &done, int ms = 20000)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

inline void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
