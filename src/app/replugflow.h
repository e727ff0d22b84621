#pragma once

#include <QString>

// A flow that continues across a re-plug of the key (the FIDO reset): while it runs, the device
// events are its own.
class ReplugFlow
{
public:
    virtual ~ReplugFlow() = default;

    virtual bool isRunning() const = 0;
    // A key came back while the flow waits for it: the flow asks who it is.
    virtual void keyReturned() = 0;
    // The details of a key the flow asked for (empty identity when they could not be read);
    // true when the flow took them and goes on.
    virtual bool keyChecked(const QString& identity) = 0;
    // The key went: true when that interrupted the flow while the key was working on it.
    virtual bool interruptedByRemoval() = 0;
    virtual void reportInterruption() = 0;
};
