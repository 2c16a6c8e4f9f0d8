#include "serve/mount_point_content.h"

namespace quillon {

std::string MountPointContent::SourceTableRecords() {
  // mount;identifier;format;details;carrier;systems;network;country;lat;lon;nmea;solution;
  // generator;compression;authentication;fee;bitrate;misc
  return "STR;" + mountPoint_ + ";" + mountPoint_ + ";RTCM 3.x;;0;;quillon;;0.00;0.00;0;0;quillon;none;" +
         (authenticated_ ? "B" : "N") + ";N;0;\r\n";
}

}  // namespace quillon
