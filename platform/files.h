// File helpers every writer of user data goes through, and the per-user folders of the system.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Reads a whole file, with room reserved for `extraRoom` more bytes. False when it cannot be
// opened or read (a folder cannot be read).
bool readFile(const std::string &path, std::string &contents, size_t extraRoom = 0);
// The same into a text of the caller's own kind: `resize(size, room)` makes it `size` bytes long,
// with room for `room`, and gives where its bytes are; `length` is the file's length.
bool readFileThrough(const std::string &path, const std::function<char *(size_t size, size_t room)> &resize,
                     size_t &length, size_t extraRoom = 0);
// Reads a whole regular file; a folder, a device or an unreadable file gives false and no bytes.
bool readRegularFile(const std::string &path, std::vector<uint8_t> &bytes);

// Writes `contents` to `path` without ever truncating or losing the old file: the bytes go to a
// temporary file beside it, which is flushed and then renamed over the target. On failure the old
// file is untouched, the temporary file is removed and `error` says why.
bool writeFileAtomically(const std::string &path, const std::string &contents, std::string *error = nullptr);

// The user's configuration folder: $XDG_CONFIG_HOME/zorvane, default ~/.config/zorvane (not created).
std::string configFolder();

// The user's cache folder for what the program remembers between runs to start faster:
// $XDG_CACHE_HOME/zorvane, default ~/.cache/zorvane (not created).
std::string cacheFolder();

// A short name made of a text: 16 hex digits of its 64-bit FNV-1a hash, for cache file names.
std::string hashName(std::string_view text);

// The per-user temporary folder: $TMPDIR (default /tmp) + "/zorvane-<uid>", created with mode 0700
// when missing. Empty when it cannot be created.
std::string temporaryFolder();

// Creates a folder and its parents; true when it exists afterwards.
bool makeFolders(const std::string &path);

// The full path of the running executable.
std::string executablePath();

// The current directory.
std::string currentDirectory();

// `path` made absolute against the current directory and tidied by its text alone: "." parts go,
// a ".." takes the part before it away, repeated slashes become one, a final slash stays.
std::string absolutePath(const std::string &path);

// Folder part of a path, without the trailing slash ("." when there is none).
std::string folderOf(const std::string &path);

} // namespace platform
