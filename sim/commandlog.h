#pragma once

#include <string>

// Appends every command line received, exactly as received, to a file (KVSIM_LOG), one line
// per write so a reader never sees half a line. Tests check what the GUI sent with it.
class CommandLog
{
public:
    explicit CommandLog(const std::string& path);
    ~CommandLog();
    CommandLog(const CommandLog&) = delete;
    CommandLog& operator=(const CommandLog&) = delete;

    void append(const std::string& line);

private:
    int m_fd;
};
