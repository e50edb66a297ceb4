#pragma once
// Helpers of the library callback: the information handed to OnAfterCallback and the memory
// stream whose buffer a library may be given.
#include <cstdint>

#include "platform/streams.h"

class TZipKeeper;

class CallBackInfo : public TObject {
public:
  TZipKeeper* Caller = nullptr;
  int ActionCode = 0;
  int ErrorCode = 0;
  int64_t FileSize = 0;
  AnsiString FileNameOrMsg;
};

// A memory stream that can also wrap an outside buffer without copying it.
class TZipStream : public TMemoryStream {
public:
  // Wraps Buffer of Size bytes: reads and seeks go to it until the stream is resized.
  void SetPointer(void* Buffer, int64_t Size);
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return outside_ ? outsideSize_ : TMemoryStream::Size(); }
  void SetSize(int64_t NewSize) override;
  char* Memory() { return outside_ ? static_cast<char*>(outside_) : TMemoryStream::Memory(); }

private:
  void* outside_ = nullptr;
  int64_t outsideSize_ = 0, outsidePos_ = 0;
};
