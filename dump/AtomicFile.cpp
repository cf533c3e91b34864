// SPDX-License-Identifier: MIT
// Output files written whole or not at all: a temporary file beside the target, then rename().
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "dump/DumpFile.h"

namespace norvex::dump {

namespace {

std::string failure(const std::string& path, int error) {
  return path + ": " + std::strerror(error);
}

// The file a link points to, or path itself when it is no link (or the link leads nowhere yet).
std::string resolvedTarget(const std::string& path) {
  struct stat link {};
  if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// Creates a new temporary file beside path (mode 0666 less the umask, like any new file).
int createTemporary(const std::string& path, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = folder + "." + name + "." + std::to_string(getpid()) + "-" +
                std::to_string(counter++) + ".tmp";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool writeAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    ssize_t written = write(fd, contents.data(), contents.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

bool regularFileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string checkOutputPath(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return {};  // nothing there yet (or a dangling link)
  if (S_ISREG(info.st_mode)) return {};
  return path + (S_ISDIR(info.st_mode) ? ": is a folder" : ": exists and is not a regular file") +
         "; a dump is written only to a regular file";
}

std::string writeFileAtomically(const std::string& path, std::string_view contents) {
  if (std::string refused = checkOutputPath(path); !refused.empty()) return refused;
  const std::string target = resolvedTarget(path);
  std::string temporary;
  int fd = createTemporary(target, temporary);
  if (fd < 0) return failure(path, errno);
  struct stat old {};
  bool ok = writeAll(fd, contents);
  int error = errno;
  if (ok && stat(target.c_str(), &old) == 0) ok = fchmod(fd, old.st_mode & 07777) == 0;
  if (ok) ok = fsync(fd) == 0;
  if (!ok) error = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlink(temporary.c_str());
    return failure(path, error);
  }
  return {};
}

}  // namespace norvex::dump
