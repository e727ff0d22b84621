#pragma once

// A window on a recording stand-in backend for the device tests: replies are fed as the channel
// feeds them, command lines are read back from what the backend received.

#include "app/commands.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/windowaccess.h"
#include "common/windowprobe.h"

#include <QStackedWidget>
#include <QtTest>

#include <memory>

inline const char kPlugged[] = "{\"SW\":\"80900002\"}";
inline const char kRemoved[] = "{\"SW\":\"80900001\"}";
inline const char kSeveral[] = "{\"SW\":\"80900003\"}";
inline const char kOk[] = "{\"SW\":\"9000\"}";

inline QString details(const QString& transport, const QString& application, const QString& model = "R15")
{
    return QStringLiteral("{\"SW\":\"9000\",\"DATA\":[{\"NAME\":\"Kestra FIDO Plus\",\"PID\":\"0x0F15&0x3E5C\","
                          "\"COS_VERSION\":\"4.3.11\",\"SERIAL_NUMBER\":\"4C7D13A8\",\"MODULE\":\"%3\","
                          "\"TRANSPORT\":\"%1\",\"APPLICATION\":\"%2\"}]}")
        .arg(transport, application, model);
}

class DeviceWindow
{
public:
    DeviceWindow() : window(nullptr, backend.program()) {}

    // Plugs a key in and reads its details, as "Click here to continue" does.
    void showKey(const QString& transport, const QString& application, const QString& model = "R15")
    {
        Access::reply(window, kPlugged, 0);
        window.on_btn_getdeviceinfo_clicked();
        Access::reply(window, details(transport, application, model), CmdType::DeviceInfo);
    }
    void reply(const QString& text, int type) { Access::reply(window, text, type); }
    // The lines sent after " monitor start".
    QStringList sent() const { return backend.receivedLines().mid(1); }
    int page() { return widget<QStackedWidget>(&window, "contentPage")->currentIndex(); }

    FakeBackend backend;
    MainWindow window;
    ModalHelper modal;
};
