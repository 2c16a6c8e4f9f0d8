// Tests of folders and files that must not be written: root ignores file permissions, so a
// test run as root (a container, CI) gives those rights up first.
#pragma once

namespace quillon::testing {

// Drops, for the calling thread and the threads it starts, the capabilities with which root
// reads and writes past file permissions (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER).
// Capabilities belong to a thread on Linux: the rest of the process keeps them. Nothing changes
// for a user without them. false when the system refuses.
bool DropFilePrivilegesOfThisThread();

}  // namespace quillon::testing
