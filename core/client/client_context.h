#pragma once
// What the service client's flows work with: the ports to the windows and the machine, the
// two HTTP transports and the process-wide records. The program wires the real adapters;
// tests hand in fakes. Every member outlives the flows and workers that use it.
#include "core/api/records.h"
#include "core/net/http_transport.h"
#include "core/system/browser.h"
#include "core/system/clock.h"
#include "core/system/workers.h"
#include "core/ui/dialogs.h"
#include "core/ui/ui.h"
#include "core/ui/window_extras.h"

namespace pv {

struct ClientContext {
  Ui& ui;
  Dialogs& dialogs;
  Browser& browser;
  WindowExtras& windows;
  Clock& clock;
  Workers& workers;
  HttpTransport& apiTransport;  // behind httpRequest: every API call
  HttpTransport& webTransport;  // behind webRequest: global information and its pictures
  ProcessRecords& records;
};

}  // namespace pv
