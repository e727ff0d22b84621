#pragma once

#include "common/simharness.h"
#include "common/simprocess.h"

// One simulated key for tests that speak the backend's language to kvman-sim directly: the
// harness and the simulator it serves (declared in that order, so the process ends first).
struct SimKey
{
    explicit SimKey(const QString& model = QStringLiteral("R15")) : harness(model) {}

    // Starts the simulator and waits until its control socket answers.
    bool start();
    // Ends the simulator through end of input and starts it again: a power-up.
    bool restart();

    JSON_OBJ ask(const QByteArray& line) { return sim.requestParsed(line); }
    quint32 sw(const QByteArray& line) { return ask(line).SW; }
    QByteArray value(const QByteArray& line, const QByteArray& key) { return member(ask(line), key); }

    // True when the control command is answered "ok ...".
    bool control(const QString& command) const;
    // One word of the control status line, such as "piv_pin_retries".
    QByteArray status(const QByteArray& name) const;

    // A member as the window reads it: the last map that carries it wins.
    static QByteArray member(const JSON_OBJ& reply, const QByteArray& key);

    SimHarness harness;
    SimProcess sim;
};
