// The common part of the edits that take files dropped onto them from the desktop: attached to
// an edit of a dialog by its id, it hands each drop's files to the edit class as full paths.
//
// Paths arrive as local file addresses and are taken as the file system's bytes. The windows see
// GBK text, so those bytes are read as UTF-8 (the encoding of the system's locales) and converted
// to GBK the way every text of the program is. A path holding a character that GBK lacks, or a
// byte that is not UTF-8, could never name its file or its program again: it is refused with
// kRefusedDropMessage in a box owned by the dialog, and the drop's other files are taken.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog.h"

// The message for dropped files whose paths GBK cannot hold; the paths follow, one a line.
inline constexpr std::string_view kRefusedDropMessage =
    "路径中含有系统编码不支持的字符，无法使用以下文件，请改名后再拖入：";

class CDropFilesEdit {
 public:
  CDropFilesEdit();
  virtual ~CDropFilesEdit();
  CDropFilesEdit(const CDropFilesEdit&) = delete;
  CDropFilesEdit& operator=(const CDropFilesEdit&) = delete;

  // Attaches to edit `id` of `dialog`, whose window must exist, and takes the files dropped onto
  // it from now on; other drops (text) are left to the edit. Attaching again to the same control
  // does nothing; a new window of the dialog is attached afresh. Returns false when the dialog has
  // no such control.
  bool Attach(ui::Dialog& dialog, int id);

  // Stops taking drops; the edit then behaves as a plain one.
  void Detach();

  // True while attached to a control that exists.
  bool IsAttached() const;

 protected:
  // Receives the full paths (GBK) of the local files of one drop, in the drop's order; never
  // called with none.
  virtual void OnDropFiles(const std::vector<std::string>& paths) = 0;

  // Tells the user that the dropped files `refused` (GBK, "?" for what GBK lacks) cannot be
  // taken.
  void RefuseDroppedFiles(const std::vector<std::string>& refused);

  // Sets the attached edit's text (GBK), which raises its change notification.
  void SetWindowText(std::string_view gbk);
  // Returns the attached edit's text (GBK).
  std::string GetWindowText() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
