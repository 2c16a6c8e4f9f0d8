#include "testing/file_privileges.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillon::testing {

bool DropFilePrivilegesOfThisThread() {
  // The system calls themselves: no library needed, and they change the calling thread only.
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
    data[CAP_TO_INDEX(capability)].effective &= ~CAP_TO_MASK(capability);
  }
  return syscall(SYS_capset, &header, data) == 0;
}

}  // namespace quillon::testing
