#include "skin/SkinLimits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

std::optional<std::vector<std::uint8_t>> ReadSkinFile(const std::string& path) {
  // Without blocking: opening a named pipe for reading would wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  // Nothing there, or nothing we may open: the file is missing.
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw ESkinRefused(Format("Skin file \"%s\" is not a regular file", path.c_str()));
  }
  if (st.st_size > kMaxSkinFileBytes) {
    ::close(fd);
    throw ESkinRefused(Format("Skin file \"%s\" is larger than %lld bytes", path.c_str(),
                              static_cast<long long>(kMaxSkinFileBytes)));
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  // A file that grows while it is read stops at the size it had.
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return bytes;
}

bool SkinFileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}
