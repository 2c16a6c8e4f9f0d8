// The program's document: it holds nothing and is never saved or opened; it exists because
// the main window is a single-document frame.
#pragma once

namespace quillon::ui {

class CZEPQuillonDoc {
 public:
  bool OnNewDocument() {
    modified_ = false;
    return true;
  }
  bool IsModified() const { return modified_; }
  void SetModifiedFlag(bool modified = true) { modified_ = modified; }

 private:
  bool modified_ = false;
};

}  // namespace quillon::ui
