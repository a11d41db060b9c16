#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>

#include <QString>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

std::mutex g_mutex;
int g_startups = 0;
THostResolver g_resolver;

bool Started() {
  std::lock_guard lock(g_mutex);
  return g_startups > 0;
}

}  // namespace

// AsyncLookup.cpp
void AbandonAsyncLookups();

int WSAStartup(WORD version_requested, WSADATA* data) {
  const int major = version_requested & 0xFF;
  const int minor = version_requested >> 8;
  // Only 1.1 and later is offered; 1.0 and 0.x are refused.
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  if (data) {
    *data = WSADATA{};
    data->wVersion = (major > 2 || (major == 2 && minor >= 2)) ? 0x0202 : version_requested;
    data->wHighVersion = 0x0202;
    std::snprintf(data->szDescription, sizeof data->szDescription, "Sonarix sockets layer");
    std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
    data->iMaxSockets = 0x7FFF;
    data->iMaxUdpDg = 65467;
  }
  std::lock_guard lock(g_mutex);
  ++g_startups;
  return 0;
}

int WSACleanup() {
  {
    std::lock_guard lock(g_mutex);
    if (g_startups <= 0) {
      SetLastError(WSANOTINITIALISED);
      return SOCKET_ERROR;
    }
    if (--g_startups > 0) return 0;
  }
  // The last user is gone: pending lookups end without a completion.
  AbandonAsyncLookups();
  return 0;
}

int WSAStartupCount() {
  std::lock_guard lock(g_mutex);
  return g_startups;
}

int WSAGetLastError() {
  return static_cast<int>(GetLastError());
}
void WSASetLastError(int error) {
  SetLastError(static_cast<DWORD>(error));
}

u_long inet_addr(const char* text) {
  if (text == nullptr) return kInaddrNone;
  std::uint32_t parts[4] = {};
  int count = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  for (;;) {
    // Each part must start with a digit; its base follows from its prefix.
    if (!std::isdigit(*p)) return kInaddrNone;
    unsigned base = 10;
    if (*p == '0') {
      ++p;
      if (*p == 'x' || *p == 'X') {
        base = 16;
        ++p;
      } else {
        base = 8;
      }
    }
    std::uint64_t value = 0;
    bool any_digit = base == 8;  // the lone "0" is a digit already
    for (;; ++p) {
      unsigned digit;
      if (std::isdigit(*p)) {
        digit = *p - '0';
        if (base == 8 && digit > 7) return kInaddrNone;
      } else if (base == 16 && std::isxdigit(*p)) {
        digit = static_cast<unsigned>(std::tolower(*p) - 'a' + 10);
      } else {
        break;
      }
      value = value * base + digit;
      if (value > 0xFFFFFFFFu) return kInaddrNone;
      any_digit = true;
    }
    if (!any_digit) return kInaddrNone;
    if (count == 4) return kInaddrNone;
    parts[count++] = static_cast<std::uint32_t>(value);
    if (*p == '.') {
      ++p;
      continue;
    }
    break;
  }
  // The text ends here or at white space; anything else is no literal.
  if (*p != '\0' && !std::isspace(*p)) return kInaddrNone;
  std::uint32_t host = 0;
  switch (count) {
    case 1:
      host = parts[0];
      break;
    case 2:
      if (parts[0] > 0xFF || parts[1] > 0xFFFFFF) return kInaddrNone;
      host = parts[0] << 24 | parts[1];
      break;
    case 3:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF) return kInaddrNone;
      host = parts[0] << 24 | parts[1] << 16 | parts[2];
      break;
    case 4:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFF || parts[3] > 0xFF)
        return kInaddrNone;
      host = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
      break;
  }
  return __builtin_bswap32(host);
}

std::string inet_ntoa(u_long address) {
  const auto* b = reinterpret_cast<const unsigned char*>(&address);
  char out[16];
  std::snprintf(out, sizeof out, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return out;
}

bool ParseIp6Literal(const char* text, TIp6Address& address) {
  if (text == nullptr) return false;
  // Up to the first white space, as inet_addr reads.
  std::size_t end = 0;
  while (text[end] != '\0' && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
  const std::string literal(text, end);
  const std::size_t percent = literal.find('%');
  const std::string bytes = literal.substr(0, percent);
  TIp6Address parsed;
  if (bytes.find(':') == std::string::npos ||
      ::inet_pton(AF_INET6, bytes.c_str(), parsed.bytes.data()) != 1)
    return false;
  if (percent != std::string::npos) {
    const std::string scope = literal.substr(percent + 1);
    if (scope.empty()) return false;
    if (std::all_of(scope.begin(), scope.end(), [](unsigned char c) { return std::isdigit(c); })) {
      if (scope.size() > 10 || std::stoull(scope) > 0xFFFFFFFFull) return false;
      parsed.scope_id = static_cast<std::uint32_t>(std::stoull(scope));
    } else {
      parsed.scope_id = ::if_nametoindex(scope.c_str());
      if (parsed.scope_id == 0) return false;
    }
  }
  address = parsed;
  return true;
}

std::string Ip6Text(const TIp6Address& address) {
  char text[INET6_ADDRSTRLEN];
  ::inet_ntop(AF_INET6, address.bytes.data(), text, sizeof text);
  std::string out = text;
  if (address.scope_id != 0) {
    char name[IF_NAMESIZE];
    out += '%';
    out += ::if_indextoname(address.scope_id, name) ? std::string(name)
                                                    : std::to_string(address.scope_id);
  }
  return out;
}

std::string AsciiHostName(const std::string& name) {
  const bool ascii = std::all_of(name.begin(), name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return name;
  const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  // Bytes that are no UTF-8 name no host.
  if (text.contains(QChar::ReplacementCharacter)) return {};
  const QByteArray ace = QUrl::toAce(text);
  return std::string(ace.constData(), static_cast<std::size_t>(ace.size()));
}

namespace {

// One family's addresses of `name` from the system resolver: the host entry
// (official name, aliases, addresses) and the h_errno reasons as
// gethostbyname2_r gives them.
int SystemResolveFamily(const std::string& typed, int family, THostEnt& entry) {
  // A name with letters beyond ASCII (UTF-8, as the program's text is) is
  // asked in its ASCII form, as domain names are registered and served.
  const std::string name = AsciiHostName(typed);
  if (name.empty()) return WSAHOST_NOT_FOUND;
  hostent result{};
  hostent* found = nullptr;
  int h_error = 0;
  std::vector<char> work(4096);
  for (;;) {
    const int rc =
        gethostbyname2_r(name.c_str(), family, &result, work.data(), work.size(), &found, &h_error);
    if (rc == ERANGE && work.size() < (1u << 20)) {
      work.resize(work.size() * 2);
      continue;
    }
    break;
  }
  if (found == nullptr) {
    switch (h_error) {
      case HOST_NOT_FOUND:
        return WSAHOST_NOT_FOUND;
      case TRY_AGAIN:
        return WSATRY_AGAIN;
      case NO_DATA:
        return WSANO_DATA;
      default:
        return WSANO_RECOVERY;
    }
  }
  entry = THostEnt{};
  entry.name = found->h_name ? found->h_name : name;
  for (char** a = found->h_aliases; a && *a; ++a) entry.aliases.emplace_back(*a);
  if (family == AF_INET && found->h_length == 4) {
    for (char** a = found->h_addr_list; a && *a; ++a) {
      u_long addr;
      std::memcpy(&addr, *a, 4);
      entry.addresses.push_back(addr);
    }
  } else if (family == AF_INET6 && found->h_length == 16) {
    for (char** a = found->h_addr_list; a && *a; ++a) {
      TIp6Address addr;
      std::memcpy(addr.bytes.data(), *a, 16);
      entry.addresses6.push_back(addr);
    }
  }
  if (entry.addresses.empty() && entry.addresses6.empty()) return WSANO_DATA;
  return 0;
}

}  // namespace

int SystemResolveHost(const std::string& name, THostEnt& entry) {
  return SystemResolveFamily(name, AF_INET, entry);
}

int SystemResolveHostAny(const std::string& name, THostEnt& entry) {
  const int error = SystemResolveFamily(name, AF_INET, entry);
  // Only a name that has no IPv4 address, or is unknown as an IPv4 host
  // (a hosts file does not tell the two apart), is asked for IPv6; a
  // resolver that failed is not asked again.
  if (error != WSANO_DATA && error != WSAHOST_NOT_FOUND) return error;
  THostEnt entry6;
  if (SystemResolveFamily(name, AF_INET6, entry6) != 0) return error;
  entry = std::move(entry6);
  return 0;
}

THostResolver SetHostResolver(THostResolver resolver) {
  std::lock_guard lock(g_mutex);
  THostResolver previous = std::move(g_resolver);
  g_resolver = std::move(resolver);
  return previous;
}

THostResolver InstalledHostResolver() {
  std::lock_guard lock(g_mutex);
  return g_resolver;
}

int ResolveHostWith(const THostResolver& resolver, const std::string& name, THostEnt& entry) {
  int error = resolver ? resolver(name, entry) : SystemResolveHost(name, entry);
  if (error == 0 && entry.addresses.empty()) error = WSANO_DATA;
  entry.addresses6.clear();
  return error;
}

int ResolveHostAnyWith(const THostResolver& resolver, const std::string& name, THostEnt& entry) {
  int error = resolver ? resolver(name, entry) : SystemResolveHostAny(name, entry);
  if (error == 0 && entry.addresses.empty() && entry.addresses6.empty()) error = WSANO_DATA;
  // One family to an entry: IPv4 wins.
  if (!entry.addresses.empty()) entry.addresses6.clear();
  return error;
}

int ResolveHost(const std::string& name, THostEnt& entry) {
  return ResolveHostWith(InstalledHostResolver(), name, entry);
}

namespace {

std::optional<THostEnt> BlockingLookup(const char* name, bool any_family) {
  if (!Started()) {
    SetLastError(WSANOTINITIALISED);
    return std::nullopt;
  }
  if (name == nullptr || *name == '\0') {
    SetLastError(WSAHOST_NOT_FOUND);
    return std::nullopt;
  }
  THostEnt entry;
  const THostResolver resolver = InstalledHostResolver();
  const int error = any_family ? ResolveHostAnyWith(resolver, name, entry)
                               : ResolveHostWith(resolver, name, entry);
  if (error != 0) {
    SetLastError(static_cast<DWORD>(error));
    return std::nullopt;
  }
  SetLastError(0);
  return entry;
}

}  // namespace

std::optional<THostEnt> gethostbyname(const char* name) {
  return BlockingLookup(name, false);
}

std::optional<THostEnt> GetHostByNameAny(const char* name) {
  return BlockingLookup(name, true);
}

}  // namespace platform
