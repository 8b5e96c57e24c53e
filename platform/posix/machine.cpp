#include "core/system/machine.h"

#include <unistd.h>

#include <fstream>

#include "core/text/text.h"

namespace pv {

std::string machineFingerprint() {
  for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    std::ifstream in(path);
    std::string id;
    if (in && std::getline(in, id) && !trimText(id).empty()) return trimText(id);
  }
  char host[256] = {};
  return gethostname(host, sizeof host - 1) == 0 ? std::string(host) : std::string();
}

}  // namespace pv
