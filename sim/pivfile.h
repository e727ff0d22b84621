#pragma once

#include <optional>
#include <string>

// Files the PIV commands read and write. Paths come from the command line, and the public-key
// path is a fixed name in a world-writable folder, so writing never follows a symbolic link
// and never touches a file that belongs to another user: the text goes to a new file in the
// same folder, which is then renamed over the path.
class PivFile
{
public:
    // A file the user chose: any readable regular file up to a size limit.
    static std::optional<std::string> read(const std::string& path, std::string* error);
    // A file this program wrote itself: no symbolic link, owned by this user.
    static std::optional<std::string> readOwn(const std::string& path, std::string* error);
    static bool write(const std::string& path, const std::string& text, std::string* error);
};
