#pragma once

#include <QSize>
#include <QString>

#include <sys/types.h>

// A private X server (Xvfb) for tests that must see what a real X server shows. Build it
// before the QApplication: it points DISPLAY at the new server and selects the xcb platform.
// Where no server can be started, the application stays offscreen and reason() says why, for
// the test to skip with.
class XServer
{
public:
    explicit XServer(const QSize& screen);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool running() const { return m_pid > 0; }
    QString reason() const { return m_reason; }

private:
    pid_t m_pid = -1;
    QString m_reason;
};
