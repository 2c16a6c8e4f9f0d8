#include "common/strings.h"

#include <algorithm>
#include <array>
#include <utility>

#include "common/wide.h"

namespace quillon {
namespace {

constexpr std::array<std::pair<std::uint32_t, std::u16string_view>, 25> kTable{{
    {kStrSocketStartupFailed, u"Windows sockets initialization failed."},
    {kStrDocumentTemplate,
     u"ZEPQuillon\n\nZEPQuillon\n\n\nZEPQuillon.Document\nZEPQuillon Document"},
    {kStrUnableToOpenComPort, u"Unable to open COM Port."},
    {kStrError, u"Error"},
    {kStrAddressEmpty, u"Address is empty."},
    {kStrPortInvalid, u"Port number appears to be invalid?"},
    {kStrConfirmSourceTable,
     u"You have chosen to download the source table for this site.  This may take several "
     u"minutes.   Continue?"},
    {kStrWarning, u"Warning"},
    {kStrCouldNotCreateSocket, u"Could not create socket."},
    {kStrConnectionError,
     u"Connection Error: Could not create connection to server. \r\nReason:%s"},
    {kStrCredentialsRejected, u"Authentication credentials were rejected or ignored."},
    {kStrSocketReadProblem, u"There was a problem reading from the socket. Connection down?"},
    {kStrNoComPort, u"There is no COM port selected?"},
    {kStrConfirmEndSession, u"Are you sure you wish to terminate the connection and exit?"},
    {kStrRetryCountdown, u"Retry attempt %d/%d in %d seconds.\r\n%s"},
    {kStrRetryCountdownNoLimit, u"Retry attempt %d in %d seconds.\r\n%s"},
    {kStrCouldNotReconnect,
     u"Could not re-connect to NTRIP Caster.\r\n\r\nElapsed Time: %s\r\nReason: %s"},
    {kStrAuthenticationIo,
     u"Could not send or receive authentication. Check port number and address. "},
    {kStrIncompatiblePlatform,
     u"This device does not appear compatible with this version of the ZEP Quillon software. "
     u"Devices using this software must be compatible with the Pocket PC platform, which "
     u"includes the Microsoft Mobile 6.0 Classic and Professional editions."},
    {kStrComPortIoError, u"Experienced a COM Port read/write error. Are you still in range?"},
    {kStrBluetoothRadioOff,
     u"The bluetooth radio appears to be in the off state. Please turn on and try again."},
    {kStrBuildText, u"Build Number: %d\r\nBuild Date: %s"},
    {kStrMountPointBlank,
     u"The mount point may not hold a blank or a control character with NTRIP version 1: it "
     u"goes into the request line as it is, where a blank would split it. NTRIP version 2 "
     u"encodes it."},
    {kStrSourcePasswordBlank,
     u"The password may not hold a blank or a control character with NTRIP version 1: the Base "
     u"sends it as it is in its SOURCE request line, where a blank would split it. NTRIP "
     u"version 2 sends it encoded."},
    {kStrUserNameColon,
     u"The user name may not hold a colon: the login sends the user name and the password "
     u"joined by a colon, so the caster would take the user name to end there."},
}};

}  // namespace

std::u16string_view StringTableEntry(std::uint32_t id) {
  const auto entry = std::find_if(kTable.begin(), kTable.end(),
                                  [id](const auto& item) { return item.first == id; });
  return entry == kTable.end() ? std::u16string_view{} : entry->second;
}

std::u16string LoadString(std::uint32_t id) {
  return std::u16string(CutToUnits(StringTableEntry(id), kStringBufferSize - 1));
}

}  // namespace quillon
