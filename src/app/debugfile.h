#pragma once

#include <QByteArray>
#include <QString>

// The diagnostics file lives in a folder every user can write to. Whatever another user planted
// at its path (a link, a FIFO, a device, a hard link to someone's file, a file of their own) is
// left alone, and opening it never blocks.
class DebugFile
{
public:
    explicit DebugFile(const QString& path);

    // Replaces the file's content; false when the path is not ours to write.
    bool replace(const QByteArray& bytes) const;

private:
    QByteArray m_path;
};
