#pragma once

#include "app/json.h"

#include <QMap>
#include <QString>

// Keeps count of the tries left of the secrets a wrong entry blocks, from the replies that tell
// them, so the window can warn before the last try is spent.
class LastTryGuard
{
public:
    enum class Secret { FidoPin, PivPin, PivPuk };

    // Learns from the reply to a command of `type`.
    void noteReply(int type, const JSON_OBJ& reply);
    // The key was removed: nothing known any more.
    void forgetAll();
    bool isLastTry(Secret secret) const;

    static QString title(Secret secret);
    static QString question(Secret secret);

private:
    void noteFidoPinUse(quint32 status);
    void notePivVerify(Secret secret, quint32 status);

    // A secret absent here has an unknown count, and is never warned about.
    QMap<Secret, int> m_triesLeft;
};
