#include "touch.h"

std::optional<Touch::Mode> Touch::modeFromName(const std::string& name)
{
    if (name == "auto") {
        return Mode::Auto;
    }
    if (name == "never") {
        return Mode::Never;
    }
    if (name == "manual") {
        return Mode::Manual;
    }
    return std::nullopt;
}

std::string Touch::modeName(Mode mode)
{
    switch (mode) {
    case Mode::Auto:
        return "auto";
    case Mode::Never:
        return "never";
    case Mode::Manual:
        return "manual";
    }
    return {};
}

std::optional<Reply> Touch::request(Reply onTimeout, std::function<Reply()> onTouch)
{
    switch (m_mode) {
    case Mode::Auto:
        return onTouch();
    case Mode::Never:
        return onTimeout;
    case Mode::Manual:
        break;
    }
    m_onTimeout = std::move(onTimeout);
    m_onTouch = std::move(onTouch);
    return std::nullopt;
}

std::optional<Reply> Touch::resolve(bool touched)
{
    if (!pending()) {
        return std::nullopt;
    }
    const auto onTouch = std::move(m_onTouch);
    const Reply onTimeout = std::move(*m_onTimeout);
    m_onTouch = nullptr;
    m_onTimeout.reset();
    return touched ? onTouch() : onTimeout;
}

bool Touch::cancel()
{
    const bool wasPending = pending();
    m_onTouch = nullptr;
    m_onTimeout.reset();
    return wasPending;
}
