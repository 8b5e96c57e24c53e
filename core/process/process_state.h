#pragma once
// Everything the process keeps for its whole life, created empty before any other start-up
// step. Workers write these records while other threads read them; each is a Published<T>,
// so a reader holds a complete snapshot, never half of an update.
#include <string>
#include <vector>

#include "core/api/records.h"

namespace pv {

struct ProcessState {
  ProcessRecords records;  // session, contact, update, project notices
  // Restriction types of the last screening run, for its summary.
  Published<std::vector<std::string>> summaryList;
};

// The exit routine: once the last window is gone, publishes empty values so the texts and
// pictures are let go. Snapshots a worker still holds stay valid until it drops them, and
// the records themselves stay in place for any worker that is still running.
void releaseProcessState(ProcessState& state);

}  // namespace pv
