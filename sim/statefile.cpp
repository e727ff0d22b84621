#include "statefile.h"

#include "fileio.h"

#include <fcntl.h>
#include <unistd.h>

StateFile::StateFile(std::string path) : m_path(std::move(path)) {}

std::optional<StateMap> StateFile::load() const
{
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    const auto text = FileIo::readAll(fd);
    ::close(fd);
    return text ? StateMap::parse(*text) : std::nullopt;
}

bool StateFile::save(const StateMap& state)
{
    const std::string text = state.serialise();
    if (text == m_lastText) {
        return true;
    }
    // Owner-only: the file holds PIV private keys.
    std::string error;
    if (!FileIo::replace(m_path, text, 0600, &error)) {
        return false;
    }
    m_lastText = text;
    return true;
}
