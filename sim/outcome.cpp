#include "outcome.h"

Outcome::Outcome(Reply reply) : m_reply(std::move(reply)) {}

Outcome Outcome::none()
{
    return Outcome();
}

Outcome Outcome::afterTouch(Reply onTimeout, std::function<Reply()> onTouch)
{
    Outcome outcome(std::move(onTimeout));
    outcome.m_onTouch = std::move(onTouch);
    return outcome;
}
