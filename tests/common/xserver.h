#pragma once

#include <QProcess>
#include <QSize>
#include <QString>

// A private X server (Xvfb) for tests that must see what a real X server shows. Build it
// before the QApplication: it points DISPLAY at the new server and selects the xcb platform.
// Where no server can be started, the application stays offscreen and reason() says why, for
// the test to skip with.
class XServer
{
public:
    explicit XServer(const QSize& screen);
    ~XServer();

    bool running() const { return m_reason.isEmpty(); }
    QString reason() const { return m_reason; }

private:
    QProcess m_xvfb;
    QString m_reason;
};
