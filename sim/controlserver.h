#pragma once

#include "linebuffer.h"

#include <functional>
#include <poll.h>
#include <string>
#include <vector>

// The control channel: a Unix-domain stream socket (KVSIM_CONTROL) that takes one command per
// line and answers each with one line. Several clients may be connected at once.
class ControlServer
{
public:
    // Gets one control line, returns its reply line.
    using Handler = std::function<std::string(const std::string& line)>;

    ControlServer(std::string path, Handler handler);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // False when the socket could not be created (path too long, folder missing, ...).
    bool listening() const { return m_listenFd >= 0; }

    void addPollFds(std::vector<pollfd>& fds) const;
    // Serves whatever the poll result says is ready.
    void handle(const std::vector<pollfd>& fds);

private:
    struct Client
    {
        int fd;
        LineBuffer input;
    };

    void listen();
    void accept();
    // False when the client has gone.
    bool serve(Client& client);

    std::string m_path;
    Handler m_handler;
    int m_listenFd = -1;
    std::vector<Client> m_clients;
};
