// The library callback: turns each callback action into the component's events and answers,
// written back into the callback record, and the component's own direct calls (ticks,
// messages, progress).
#include <cstring>

#include "platform/controls.h"
#include "zip/component/password_dlg.h"
#include "zip/component/zip_keeper.h"

// ------------------------------------------------------------------------------ TZipStream

void TZipStream::SetPointer(void* Buffer, int64_t Size) {
  outside_ = Buffer;
  outsideSize_ = Buffer ? Size : 0;
  outsidePos_ = 0;
}

int64_t TZipStream::Read(void* Buffer, int64_t Count) {
  if (!outside_) return TMemoryStream::Read(Buffer, Count);
  int64_t n = std::max<int64_t>(0, std::min(Count, outsideSize_ - outsidePos_));
  if (n > 0) std::memcpy(Buffer, static_cast<char*>(outside_) + outsidePos_, static_cast<size_t>(n));
  outsidePos_ += n;
  return n;
}

int64_t TZipStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  if (!outside_) return TMemoryStream::Seek(Offset, Origin);
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? outsidePos_ : outsideSize_;
  outsidePos_ = std::clamp<int64_t>(base + Offset, 0, outsideSize_);
  return outsidePos_;
}

void TZipStream::SetSize(int64_t NewSize) {
  SetPointer(nullptr, 0);
  TMemoryStream::SetSize(NewSize);
}

// ------------------------------------------------------------------------------ dispatcher

unsigned TZipKeeper::Percent(uint64_t Size, uint64_t Done) {
  if (Size == 0 || Done == 0) return 0;
  if (Size <= 214747) return static_cast<unsigned>(Done * 100 / Size);
  return static_cast<unsigned>(Done / (Size / 100));
}

int32_t TZipKeeper::CallbackFunction(TZipCallbackRecord* Record) {
  if (!Record) return -1;
  auto* keeper = dynamic_cast<TZipKeeper*>(static_cast<TObject*>(Record->Caller));
  if (!keeper) return -1;
  return keeper->DispatchRecord(Record);
}

namespace {

// The library's text as the program shows it (ZipTextToAnsi): trailing blanks and control
// characters cut.
AnsiString RecordName(const TZipCallbackRecord* r) {
  std::string s(r->Text, strnlen(r->Text, kCallbackTextSize));
  bool full = s.size() + 1 >= kCallbackTextSize;
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
  return ZipTextToAnsi(s, full);
}

void PutText(TZipCallbackRecord* r, const std::string& s, size_t max) {
  size_t n = std::min(s.size(), max);
  std::memcpy(r->Text, s.data(), n);
  r->Text[n] = '\0';
}

}  // namespace

int32_t TZipKeeper::DispatchRecord(TZipCallbackRecord* Record) {
  if (destroying_) return -1;
  int action = Record->ActionCode & 0xFF;
  int32_t v1 = Record->Value1;
  int64_t v2 = Record->Value2;
  AnsiString text = RecordName(Record);
  try {
    RunDispatch(action, v1, v2, Record, text);
  } catch (const Exception& e) {
    if (eventError_.empty()) eventError_ = " #" + IntToStr(action) + " \"" + e.Message() + "\"";
    Cancel = true;
  } catch (const std::exception& e) {
    if (eventError_.empty()) eventError_ = " #" + IntToStr(action) + " \"" + e.what() + "\"";
    Cancel = true;
  }
  Record->Value1 = v1;
  Record->Value2 = v2;
  if (OnAfterCallback.Assigned()) {
    CallBackInfo info;
    info.Caller = this;
    info.ActionCode = action;
    info.ErrorCode = v1;
    info.FileSize = v2;
    info.FileNameOrMsg = text;
    bool abort = Cancel;
    try {
      OnAfterCallback(&info, abort);
    } catch (const Exception& e) {
      if (eventError_.empty()) eventError_ = " #" + IntToStr(action) + " \"" + e.Message() + "\"";
      abort = true;
    } catch (const std::exception& e) {
      if (eventError_.empty()) eventError_ = " #" + IntToStr(action) + " \"" + e.what() + "\"";
      abort = true;
    }
    if (abort) Cancel = true;
  } else {
    ProcessMessages();
  }
  return Cancel ? -1 : 0;
}

void TZipKeeper::Dispatch(int Action, int64_t Value1, int64_t Value2, const AnsiString& Text) {
  if (destroying_) return;
  int32_t v1 = static_cast<int32_t>(Value1);
  int64_t v2 = Value2;
  RunDispatch(Action, v1, v2, nullptr, Text);
  if (OnAfterCallback.Assigned()) {
    CallBackInfo info;
    info.Caller = this;
    info.ActionCode = Action;
    info.ErrorCode = v1;
    info.FileSize = v2;
    info.FileNameOrMsg = Text;
    bool abort = Cancel;
    OnAfterCallback(&info, abort);
    if (abort) Cancel = true;
  } else {
    ProcessMessages();
  }
  if (Cancel) throw EZipKeeper(11007, true);
}

int TZipKeeper::RunDispatch(int Action, int32_t& v1, int64_t& v2, TZipCallbackRecord* Record, const AnsiString& text) {
  switch (Action) {
    case kcbTick:
      CallEvent(OnTick, this);
      break;
    case kcbNewItem:
      CallEvent(OnProgress, this, NewFile, text, static_cast<uint64_t>(v2));
      if (OnItemProgress.Assigned()) {
        itemSize_ = static_cast<uint64_t>(v2);
        itemDone_ = 0;
        itemName_ = text;
        OnItemProgress(this, text, itemSize_, 0);
      }
      break;
    case kcbProgress:
      CallEvent(OnProgress, this, ProgressUpdate, AnsiString(), static_cast<uint64_t>(v2));
      itemDone_ += static_cast<uint64_t>(v2);
      CallEvent(OnItemProgress, this, itemName_, itemSize_, static_cast<int>(Percent(itemSize_, itemDone_)));
      totalDone_ += static_cast<uint64_t>(v2);
      CallEvent(OnTotalProgress, this, totalSize_, static_cast<int>(Percent(totalSize_, totalDone_)));
      break;
    case kcbEndOfBatch:
      CallEvent(OnProgress, this, EndOfBatch, AnsiString(), uint64_t(0));
      itemSize_ = itemDone_ = totalDone_ = 0;
      itemName_.clear();
      CallEvent(OnItemProgress, this, AnsiString(), uint64_t(0), -1);
      CallEvent(OnTotalProgress, this, uint64_t(0), -1);
      break;
    case kcbMessage:
      message_ = text;
      if (v1 != 0) {
        errCode_ = v1 & 0xFF;
        if (errCode_ == 9 && !eventError_.empty()) message_ = "Exception in Event " + eventError_;
        fullErrCode_ = v1;
      }
      CallEvent(OnMessage, this, static_cast<int>(v1), message_);
      break;
    case kcbTotalFiles:
      CallEvent(OnProgress, this, TotalFiles2Process, AnsiString(), static_cast<uint64_t>(v2));
      break;
    case kcbTotalSize:
      totalSize_ = static_cast<uint64_t>(v2);
      totalDone_ = 0;
      itemName_.clear();
      itemSize_ = 0;
      CallEvent(OnProgress, this, TotalSize2Process, AnsiString(), static_cast<uint64_t>(v2));
      break;
    case kcbNewName:
      if (OnSetNewName.Assigned()) {
        AnsiString name = text;
        bool changed = false;
        OnSetNewName(this, name, changed);
        if (changed && Record) {
          PutText(Record, AnsiToSystemName(name), 511);
          v1 = 1;
        } else {
          v1 = 0;
        }
      }
      break;
    case kcbPassword:
      PasswordAction(v1, v2, Record, text);
      break;
    case kcbCrcError:
      if (OnCRC32Error.Assigned()) {
        bool doExtract = true;
        OnCRC32Error(this, text, static_cast<uint32_t>(v1), static_cast<uint32_t>(v2), doExtract);
        v1 = doExtract ? 1 : 0;
      } else {
        v1 = 2;
      }
      break;
    case kcbOverwrite:
      if (OnExtractOverwrite.Assigned()) {
        bool doOverwrite = (v2 & 0xFF) != 0;
        OnExtractOverwrite(this, text, (v1 >> 16 & 1) != 0, doOverwrite, v1 & 0xFFFF);
        v2 = doOverwrite ? 1 : 0;
      }
      break;
    case kcbSkipped:
      if (v1 != 0) {
        errCode_ = v1 & 0xFF;
        fullErrCode_ = v1;
      }
      CallEvent(OnExtractSkipped, this, text, static_cast<UnZipSkipTypes>((v2 & 0xFF) - 1), static_cast<int>(v1));
      break;
    case kcbComment:
      if (OnFileComment.Assigned() && Record) {
        AnsiString comment(Record->Text + kCallbackCommentOffset,
                           strnlen(Record->Text + kCallbackCommentOffset, kCallbackTextSize - kCallbackCommentOffset));
        bool changed = false;
        OnFileComment(this, text, comment, changed);
        if (changed) PutText(Record, comment, 511);
        v1 = changed ? 1 : 0;
        v2 = std::min<int64_t>(static_cast<int64_t>(comment.size()), 511);
      }
      break;
    case kcbMemory:
      try {
        stream_.SetSize(v2);
        v2 = reinterpret_cast<intptr_t>(stream_.Memory());
      } catch (const std::exception&) {
        v1 = 1;
        v2 = 0;
      }
      break;
    case kcbExtraData:
      if (OnFileExtra.Assigned() && Record) {
        const char* src = nullptr;
        std::memcpy(&src, Record->Text + kCallbackPointerOffset, sizeof src);
        extraData_.assign(src && v2 > 0 ? src : "", src && v2 > 0 ? static_cast<size_t>(v2) : 0);
        bool changed = false;
        OnFileExtra(this, text, extraData_, changed);
        if (changed) {
          if (!extraData_.empty() && extraData_.size() <= 511) {
            std::memcpy(Record->Text, extraData_.data(), extraData_.size());
          } else {
            const char* p = extraData_.data();
            std::memcpy(Record->Text + kCallbackPointerOffset, &p, sizeof p);
          }
          v2 = static_cast<int64_t>(extraData_.size());
          v1 = -1;
        }
      }
      break;
    case kcbNewExtra: {
      CallEvent(OnProgress, this, NewExtra, text, static_cast<uint64_t>(v2));
      if (OnItemProgress.Assigned()) {
        itemSize_ = static_cast<uint64_t>(v2);
        itemDone_ = 0;
        AnsiString name = ZipLoadStr(11400 + v1);
        itemName_ = name.empty() ? text : name;
        OnItemProgress(this, itemName_, itemSize_, 0);
      }
      break;
    }
    case kcbExtraProgress:
      CallEvent(OnProgress, this, ExtraUpdate, itemName_, static_cast<uint64_t>(v2));
      itemDone_ += static_cast<uint64_t>(v2);
      CallEvent(OnItemProgress, this, itemName_, itemSize_, static_cast<int>(Percent(itemSize_, itemDone_)));
      break;
    default:
      break;
  }
  return 0;
}

// ------------------------------------------------------------------------------ passwords

void TZipKeeper::PasswordAction(int32_t& v1, int64_t& v2, TZipCallbackRecord* Record, const AnsiString& Name) {
  AnsiString pw;
  uint32_t repeat = static_cast<uint32_t>(v2);
  TPasswordButton action = pwbOk;
  bool cancelAll = false, abort = false;
  if (OnPasswordError.Assigned()) {
    OnPasswordError(this, Record && Record->IsZipAction != 0, pw, Name, repeat, action);
    if (action != pwbOk) pw.clear();
    cancelAll = action == pwbCancelAll;
    abort = action == pwbAbort;
  } else {
    pw = AskPassword((v1 & 1) != 0);
    cancelAll = lastPasswordAnswer_ == pwbCancelAll;
    abort = lastPasswordAnswer_ == pwbAbort;
  }
  if (!pw.empty()) {
    if (Record) PutText(Record, AnsiToUtf8(pw), 80);
    v1 = 1;
  } else {
    v1 = 0;
    repeat = 0;
  }
  v2 = repeat > 15 ? 15 : repeat;
  if (cancelAll && Record) Record->ActionCode = 0;
  if (abort) Cancel = true;
}

AnsiString TZipKeeper::GetPassword(const AnsiString& Caption, const AnsiString& Prompt, unsigned Buttons, TModalResult& Result) {
  TPasswordDlg dlg(this, Buttons);
  AnsiString pw = dlg.ShowForm(Caption, Prompt);
  Result = dlg.ModalResult();
  switch (Result) {
    case mrOk: lastPasswordAnswer_ = pwbOk; break;
    case mrCancel: lastPasswordAnswer_ = pwbCancel; break;
    case TPasswordDlg::mrCancelAll: lastPasswordAnswer_ = pwbCancelAll; break;
    default: lastPasswordAnswer_ = pwbAbort; break;
  }
  return pw;
}

AnsiString TZipKeeper::AskPassword(bool Confirm) {
  if (Unattended) {
    ShowZipMessage(Confirm ? 10150 : 10151, AnsiString());
    return AnsiString();
  }
  AnsiString caption = ZipLoadStr(10154), prompt = ZipLoadStr(10155);
  TModalResult r;
  if (!Confirm) return GetPassword(caption, prompt, TPasswordDlg::pbOk | TPasswordDlg::pbCancel | TPasswordDlg::pbCancelAll, r);
  AnsiString first = GetPassword(caption, prompt, TPasswordDlg::pbOk | TPasswordDlg::pbCancel, r);
  if (r != mrOk || first.empty()) return AnsiString();
  AnsiString second = GetPassword(caption, ZipLoadStr(10156), TPasswordDlg::pbOk | TPasswordDlg::pbCancel, r);
  if (r == mrOk && !second.empty() && second != first) {
    ShowZipMessage(10104, AnsiString());
    return AnsiString();
  }
  return second;
}
