#include "platform/EchoPermission.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <fstream>
#include <sstream>

#include "platform/RawSockets.h"

namespace platform {

namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\n");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\n");
  return s.substr(first, last - first + 1);
}

std::optional<std::uint32_t> ParseUnsigned(std::string_view s) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (error != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return value;
}

std::string ReadFile(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The value of one "Name:\tvalue" line of /proc/self/status.
std::string StatusField(const std::string& status, std::string_view name) {
  std::istringstream lines(status);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() > name.size() && line.compare(0, name.size(), name) == 0 &&
        line[name.size()] == ':')
      return std::string(Trim(std::string_view(line).substr(name.size() + 1)));
  }
  return {};
}

std::uint32_t LittleEndian32(std::string_view bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
  return value;
}

// Opens and closes a socket; returns 0 or the errno of the failure. A raw
// one comes the way the engine gets it: from the broker when one runs.
int TrySocket(int type) {
  const int fd = type == SOCK_RAW ? OpenRawIcmpSocket(AF_INET, 0)
                                  : ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

}  // namespace

std::optional<TGroupRange> ParseGroupRange(std::string_view text) {
  text = Trim(text);
  const auto gap = text.find_first_of(" \t");
  if (gap == std::string_view::npos) return std::nullopt;
  const auto low = ParseUnsigned(text.substr(0, gap));
  const auto high = ParseUnsigned(Trim(text.substr(gap)));
  if (!low || !high) return std::nullopt;
  return TGroupRange{*low, *high};
}

bool FileCapabilityGrants(std::string_view xattr, int cap) {
  // struct vfs_cap_data: a 32-bit magic (revision in the top byte, the
  // effective flag in bit 0), then {permitted, inheritable} pairs of 32-bit
  // words, one pair (revision 1) or two (revisions 2 and 3, which adds the
  // root id of a user namespace). Little-endian on disk.
  constexpr std::uint32_t kRevisionMask = 0xFF000000;
  constexpr std::uint32_t kEffective = 0x000001;
  if (xattr.size() < 4 || cap < 0) return false;
  const std::uint32_t magic = LittleEndian32(xattr, 0);
  std::size_t words = 0;
  switch (magic & kRevisionMask) {
    case 0x01000000:
      words = 1;
      break;
    case 0x02000000:
    case 0x03000000:
      words = 2;
      break;
    default:
      return false;
  }
  if (xattr.size() < 4 + words * 8) return false;
  const auto word = static_cast<std::size_t>(cap / 32);
  if (word >= words) return false;
  const std::uint32_t permitted = LittleEndian32(xattr, 4 + word * 8);
  return (magic & kEffective) != 0 && (permitted >> (cap % 32) & 1) != 0;
}

bool FileCarriesCapability(const std::string& path, int cap) {
  char value[64];
  const ssize_t size = ::getxattr(path.c_str(), "security.capability", value, sizeof value);
  return size > 0 &&
         FileCapabilityGrants(std::string_view(value, static_cast<std::size_t>(size)), cap);
}

bool CapabilityMaskHas(std::string_view hex_mask, int cap) {
  hex_mask = Trim(hex_mask);
  if (hex_mask.empty() || cap < 0) return false;
  const auto digit_index = static_cast<std::size_t>(cap / 4);
  if (digit_index >= hex_mask.size()) return false;
  const char c = hex_mask[hex_mask.size() - 1 - digit_index];
  int value = 0;
  if (c >= '0' && c <= '9')
    value = c - '0';
  else if (c >= 'a' && c <= 'f')
    value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    value = c - 'A' + 10;
  else
    return false;
  return (value >> (cap % 4) & 1) != 0;
}

bool TEchoPermissions::Denied() const {
  const auto refused = [](int e) { return e == EACCES || e == EPERM; };
  return refused(ping_socket_error) && refused(raw_socket_error);
}

TEchoPermissions ReadEchoPermissions() {
  TEchoPermissions p;
  std::string range = ReadFile("/proc/sys/net/ipv4/ping_group_range");
  std::replace(range.begin(), range.end(), '\t', ' ');
  p.range_text = std::string(Trim(range));
  p.range = ParseGroupRange(p.range_text);

  p.groups.push_back(::getegid());
  const int count = ::getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> extra(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, extra.data());
    for (int i = 0; i < got; ++i)
      if (std::find(p.groups.begin(), p.groups.end(), extra[static_cast<std::size_t>(i)]) ==
          p.groups.end())
        p.groups.push_back(extra[static_cast<std::size_t>(i)]);
  }
  if (p.range)
    p.group_admitted = std::any_of(p.groups.begin(), p.groups.end(),
                                   [&](gid_t g) { return p.range->Contains(g); });

  p.ping_socket_error = TrySocket(SOCK_DGRAM);
  p.raw_socket_error = TrySocket(SOCK_RAW);

  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n > 0) p.program.assign(path, static_cast<std::size_t>(n));
  if (!p.program.empty()) {
    p.file_has_net_raw = FileCarriesCapability(p.program, kCapNetRaw);
    struct statvfs fs {};
    if (::statvfs(p.program.c_str(), &fs) == 0) p.program_on_nosuid = (fs.f_flag & ST_NOSUID) != 0;
  }

  const std::string status = ReadFile("/proc/self/status");
  p.process_has_net_raw = CapabilityMaskHas(StatusField(status, "CapEff"), kCapNetRaw);
  const std::string bounding = StatusField(status, "CapBnd");
  p.bounding_has_net_raw = bounding.empty() || CapabilityMaskHas(bounding, kCapNetRaw);
  return p;
}

}  // namespace platform
