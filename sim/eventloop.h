#pragma once

#include "controlserver.h"
#include "linebuffer.h"
#include "simulator.h"

// Waits on standard input and the control channel together and feeds the simulator until
// "exit", the end of input, or the GUI going away. While a touch is awaited, command lines
// are read but left waiting, as the real backend would block.
class EventLoop
{
public:
    EventLoop(Simulator& simulator, ControlServer* control, int inputFd);

    void run();

private:
    void processLines();
    void readInput();

    Simulator& m_simulator;
    ControlServer* m_control;
    int m_inputFd;
    LineBuffer m_input;
    bool m_inputEnded = false;
};
