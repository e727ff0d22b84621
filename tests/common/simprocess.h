#pragma once

#include "app/json.h"

#include <QByteArray>
#include <QProcess>

// A kvman-sim run as the GUI runs it (one blank as argument, pipes on all three streams),
// for tests that talk the backend language to it directly. The simulator ends each reply
// with a line end.
class SimProcess
{
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool start();
    // Writes the line as given plus "\n".
    void send(const QByteArray& line);
    // The next reply line without its line end; empty when none comes in time.
    QByteArray nextReply();
    JSON_OBJ requestParsed(const QByteArray& line);
    // Closes standard input and waits for the end; false when it does not end in time.
    bool finish();

    QProcess& process() { return m_process; }
    QByteArray standardError() { return m_process.readAllStandardError(); }

    static JSON_OBJ parse(const QByteArray& reply);

private:
    QProcess m_process;
};
