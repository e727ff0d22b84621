#pragma once

#include "reply.h"

#include <functional>
#include <optional>
#include <string>

// The key's touch sensor as seen from outside. "auto" touches at once, "never" lets every
// request time out at once, "manual" keeps the request waiting until the control channel
// gives a touch or a time-out. At most one request waits: the backend blocks meanwhile.
class Touch
{
public:
    enum class Mode { Auto, Never, Manual };

    static std::optional<Mode> modeFromName(const std::string& name);
    static std::string modeName(Mode mode);

    void setMode(Mode mode) { m_mode = mode; }
    Mode mode() const { return m_mode; }

    // The reply to give now, or nothing when the request is left waiting.
    std::optional<Reply> request(Reply onTimeout, std::function<Reply()> onTouch);

    bool pending() const { return static_cast<bool>(m_onTouch); }
    // Ends the waiting request, touched or timed out, and returns its reply.
    std::optional<Reply> resolve(bool touched);
    // Drops the waiting request (the key went away); true when one was waiting.
    bool cancel();

private:
    Mode m_mode = Mode::Auto;
    std::optional<Reply> m_onTimeout;
    std::function<Reply()> m_onTouch;
};
