// A preload library that adds one entry to the services database without
// touching /etc/services: with ZENOTAR_FAKE_PORT=N in the environment,
// getservbyname("zenotar", "udp") answers port N; every other look-up goes
// to the system. Used by the tests and the demo; the client is unchanged.

#include <dlfcn.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>

#include "protocol/protocol.h"

namespace {

using Lookup = servent* (*)(const char*, const char*);

// Plain globals, so that the library needs no C++ runtime of its own.
Lookup system_lookup = nullptr;
char entry_name[] = "zenotar";
char entry_proto[] = "udp";
char* no_aliases[] = {nullptr};
servent entry;

}  // namespace

extern "C" servent* getservbyname(const char* name, const char* proto) {
  const char* port = getenv("ZENOTAR_FAKE_PORT");
  if (port != nullptr && name != nullptr && proto != nullptr &&
      strcmp(name, SERVICE_NAME) == 0 && strcmp(proto, SERVICE_PROTOCOL) == 0) {
    entry.s_name = entry_name;
    entry.s_aliases = no_aliases;
    entry.s_port = static_cast<int>(htons(static_cast<uint16_t>(atoi(port))));
    entry.s_proto = entry_proto;
    return &entry;
  }
  if (system_lookup == nullptr)
    system_lookup = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getservbyname"));
  return system_lookup(name, proto);
}
