// What the caster answers with when nothing watches the stream: one STR record that names the
// mount point and its access, and no pages.
#pragma once

#include <string>

#include "serve/listener_content.h"

namespace quillon {

class MountPointContent final : public ListenerContent {
 public:
  MountPointContent(std::string mountPoint, bool authenticated)
      : mountPoint_(std::move(mountPoint)), authenticated_(authenticated) {}

  std::string SourceTableRecords() override;
  std::optional<ListenerAnswer> Page(std::string_view) override { return std::nullopt; }

 private:
  const std::string mountPoint_;
  const bool authenticated_;
};

}  // namespace quillon
