// Whether this process may send ICMP echoes, and why not. The kernel gives
// an unprivileged ping socket to a process one of whose groups lies within
// net.ipv4.ping_group_range, and a raw socket to one with CAP_NET_RAW (which
// a program file can carry as a file capability, as iputils' ping does; the
// program keeps it only in its raw socket broker, platform/RawSockets.h).
// Read from the running system so that a failed start-up can say which of
// the two to grant.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Linux's number for the capability to open raw sockets.
inline constexpr int kCapNetRaw = 13;

// net.ipv4.ping_group_range: the inclusive range of group ids admitted to
// ping sockets; "1 0" (low above high) admits no one.
struct TGroupRange {
  std::uint32_t low = 1;
  std::uint32_t high = 0;
  bool Contains(gid_t gid) const { return low <= gid && gid <= high; }
};

// The sysctl's text ("1\t0\n"); nullopt when it is not two numbers.
std::optional<TGroupRange> ParseGroupRange(std::string_view text);

// True when a "security.capability" attribute value (struct vfs_cap_data,
// any revision) puts `cap` in the file's permitted set with the effective
// flag set, so that the program has it as soon as it starts.
bool FileCapabilityGrants(std::string_view xattr, int cap);

// The same for a file on disk (false when it carries no capabilities or
// its file system keeps none).
bool FileCarriesCapability(const std::string& path, int cap);

// True when a capability mask as /proc/PID/status shows it ("CapEff:" and
// the like: hexadecimal, highest bit first) holds `cap`.
bool CapabilityMaskHas(std::string_view hex_mask, int cap);

struct TEchoPermissions {
  std::string range_text;  // the sysctl's value, tabs as spaces; "" when unreadable
  std::optional<TGroupRange> range;
  std::vector<gid_t> groups;         // the effective group, then the supplementary ones
  bool group_admitted = false;       // one of `groups` is within `range`
  int ping_socket_error = 0;         // errno of opening a ping socket now; 0 when it opened
  int raw_socket_error = 0;          // the same for a raw ICMP socket (the broker's, if one runs)
  std::string program;               // the running program's file
  bool file_has_net_raw = false;     // the file carries cap_net_raw+ep
  bool process_has_net_raw = false;  // the process has CAP_NET_RAW in effect
  bool bounding_has_net_raw = true;  // CAP_NET_RAW can still be gained at all
  bool program_on_nosuid = false;    // file capabilities are ignored there

  // Neither socket opened, and for want of permission, not of resources.
  bool Denied() const;
};

// Probes the running system (opens and closes the two kinds of socket).
TEchoPermissions ReadEchoPermissions();

}  // namespace platform
