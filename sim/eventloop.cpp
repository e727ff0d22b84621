#include "eventloop.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

EventLoop::EventLoop(Simulator& simulator, ControlServer* control, int inputFd)
    : m_simulator(simulator), m_control(control), m_inputFd(inputFd)
{
}

void EventLoop::run()
{
    while (true) {
        processLines();
        if (m_simulator.finished() || m_inputEnded) {
            return;
        }
        std::vector<pollfd> fds = {{m_inputFd, POLLIN, 0}};
        if (m_control) {
            m_control->addPollFds(fds);
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds.front().revents != 0) {
            readInput();
        }
        if (m_control) {
            m_control->handle(fds);
        }
    }
}

void EventLoop::processLines()
{
    while (!m_simulator.busy() && !m_simulator.finished()) {
        auto line = m_input.takeLine();
        if (!line && m_inputEnded) {
            line = m_input.takeRest();
        }
        if (!line) {
            return;
        }
        if (line->tooLong) {
            m_simulator.handleOverlongLine();
        } else {
            m_simulator.handleLine(line->text);
        }
    }
}

void EventLoop::readInput()
{
    char buffer[65536];
    const ssize_t n = ::read(m_inputFd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
        return;
    }
    if (n <= 0) {
        m_inputEnded = true;
        return;
    }
    m_input.append(buffer, static_cast<size_t>(n));
}
