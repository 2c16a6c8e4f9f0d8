// A fresh, empty folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>

namespace quillon::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace quillon::testing
