#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

// Whole reads and writes on file descriptors, shared by the files, the sockets and standard
// output: each call carries on after signals and short transfers, so callers see all or fail.
namespace FileIo {

// False when the descriptor fails before the whole text is written (errno says why).
bool writeAll(int fd, const std::string& text);
// Everything up to the end of the file, or nothing on a read error. Reading stops once more
// than stopAfter bytes have come, so the caller can refuse a file that is too large.
std::optional<std::string> readAll(int fd, size_t stopAfter = std::string::npos);
// Replaces path by a file holding text with the given mode: the text goes to a new file in the
// same folder, which is then renamed over path. A reader sees the old file or the whole new
// one, and a symbolic link at path is replaced instead of written through. On failure nothing
// is left behind and *error says what went wrong.
bool replace(const std::string& path, const std::string& text, mode_t mode, std::string* error);
// "Cannot <what> <path>: <reason>." from errno.
std::string systemError(const std::string& what, const std::string& path);

} // namespace FileIo
