#pragma once
// What the Windows side of the picker shares about drives.

#include <windows.h>

namespace kormoszi {

// No system box asking for a disk while a drive without its medium is looked at (an empty
// card reader): the caller gets ERROR_NOT_READY instead. For this thread only, while it
// lives.
class NoCriticalErrorBox {
  public:
    NoCriticalErrorBox() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &FSaved); }
    ~NoCriticalErrorBox() { ::SetThreadErrorMode(FSaved, nullptr); }
    NoCriticalErrorBox(const NoCriticalErrorBox&) = delete;
    NoCriticalErrorBox& operator=(const NoCriticalErrorBox&) = delete;

  private:
    DWORD FSaved = 0;
};

}  // namespace kormoszi
