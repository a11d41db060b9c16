#include "app/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <utility>

#include "toolkit/Graphics.h"
#include "toolkit/SysUtils.h"

namespace {

[[noreturn]] void CannotCreate(const std::string& path, int error) {
  throw EFCreateError(Format("Cannot create file \"%s\". %s", FromFileSystemName(path).c_str(),
                             SysErrorMessage(error).c_str()));
}

std::string Folder(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Leaf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a chain of symbolic links ends (a name that may not exist yet);
// `path` itself when it is no link or the chain cannot be followed.
std::string FollowLinks(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 256) + 1, '\0');
    const ssize_t n = ::readlink(at.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size()) return path;
    link.resize(static_cast<std::size_t>(n));
    if (link.front() == '/') {
      at = link;
    } else {
      std::string joined = Folder(at);
      joined += '/';
      joined += link;
      at = std::move(joined);
    }
  }
  return path;  // a loop: let the open report it
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// Truncates and writes the file itself: for what cannot be replaced.
void WriteInPlace(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) CannotCreate(path, errno);
  // Exclusive while we write; another writer holding the file is not waited for.
  ::flock(fd, LOCK_EX | LOCK_NB);
  const bool complete = WriteAll(fd, text);
  ::close(fd);
  if (!complete) throw EWriteError();
}

// Creates a new file with a name no one uses beside `target`.
int CreateBeside(const std::string& target, mode_t mode, std::string& name) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = Folder(target) + "/." + Leaf(target) + "." + std::to_string(random() % 1000000000);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

void SaveTextFile(const std::string& path, const std::string& text) {
  const std::string target = FollowLinks(path);
  struct stat old;
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) return WriteInPlace(path, text);
  if (exists) {
    // Replacing must not succeed where writing the file would be refused.
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) CannotCreate(path, errno);
    ::close(fd);
  }

  std::string temp;
  const int fd = CreateBeside(target, exists ? (old.st_mode & 07777) : 0666, temp);
  if (fd < 0) CannotCreate(path, errno);
  if (exists) {
    // The new file takes the old one's place with its owner and mode.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Only the owner's group may be ours to give; the content matters more.
    }
    ::fchmod(fd, old.st_mode & 07777);
  }
  // Durable before it replaces anything: a crash after the rename must not
  // find an empty file.
  const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !written) {
    ::unlink(temp.c_str());
    throw EWriteError();
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    CannotCreate(path, error);
  }
  // And the rename itself reaches the disk.
  const int folder = ::open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}
