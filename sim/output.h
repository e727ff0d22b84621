#pragma once

#include "reply.h"

// Standard output towards the GUI. Each reply goes out in one write() with its line end: the
// GUI may take each read as one whole reply.
class Output
{
public:
    explicit Output(int fd);

    // False once the reader has gone away.
    bool write(const Reply& reply);
    bool broken() const { return m_broken; }

private:
    int m_fd;
    bool m_broken = false;
};
