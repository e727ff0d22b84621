#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A stand-in backend for channel-level tests: a small script that records every line it is
// sent and writes on its standard output and standard error whatever the test pushes.
class FakeBackend
{
public:
    // `mode` "record" keeps running; "die" exits at once (a broken installation).
    explicit FakeBackend(const QString& mode = QStringLiteral("record"));

    QString program() const;
    void writeStdout(const QByteArray& bytes) { m_out.write(bytes); }
    void writeStderr(const QByteArray& bytes) { m_err.write(bytes); }
    // The raw bytes received on standard input, and the same split into lines.
    QByteArray received() const;
    QStringList receivedLines() const;
    // How many times the script was started.
    int starts() const;

private:
    QTemporaryDir m_dir;
    QFile m_out;
    QFile m_err;
};
