#pragma once

#include "app/featurehost.h"

#include <QObject>

namespace Ui {
class MainWindow;
}

// One feature of the window (device, FIDO, PIV, OTP): its state, its reply handlers and the
// actions behind its widgets.
class Feature : public QObject
{
public:
    Feature(FeatureHost& host, Ui::MainWindow* ui, QObject* parent = nullptr) : QObject(parent), m_host(host), ui(ui) {}

    virtual void registerHandlers() = 0;
    // The operation in progress ended other than by its reply: flows end, secrets are forgotten.
    virtual void forgetOperation() {}
    // The key went: dialogs about it close, what was typed for it is forgotten.
    virtual void keyGone() {}

protected:
    // Registers a member function of the derived controller as the handler of `type`'s replies.
    template <class Controller> void handle(int type, void (Controller::*handler)(const JSON_OBJ&))
    {
        m_host.registerHandler(
            type, [this, handler](const JSON_OBJ& reply) { (static_cast<Controller*>(this)->*handler)(reply); });
    }

    FeatureHost& m_host;
    Ui::MainWindow* ui;
};
