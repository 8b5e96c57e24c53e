#include "core/process/process_state.h"

namespace pv {

void releaseProcessState(ProcessState& state) {
  state.records.session.store({});
  state.records.contact.store({});
  state.records.update.store({});
  state.records.productNotices.store({});
  state.summaryList.store({});
}

}  // namespace pv
