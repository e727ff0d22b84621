#pragma once

#include "reply.h"

#include <functional>
#include <optional>

// What a command handler asks for: a reply now, no reply at all, or a reply that waits for
// the user to touch the key (with the reply to give when no touch comes).
class Outcome
{
public:
    // Implicit on purpose: most handlers simply return a Reply.
    Outcome(Reply reply);

    static Outcome none();
    static Outcome afterTouch(Reply onTimeout, std::function<Reply()> onTouch);

    bool hasReply() const { return m_reply.has_value() && !m_onTouch; }
    bool waitsForTouch() const { return static_cast<bool>(m_onTouch); }

    // The reply now, or for a touch the reply when the touch does not come.
    const Reply& reply() const { return *m_reply; }
    const std::function<Reply()>& onTouch() const { return m_onTouch; }

private:
    Outcome() = default;

    std::optional<Reply> m_reply;
    std::function<Reply()> m_onTouch;
};
