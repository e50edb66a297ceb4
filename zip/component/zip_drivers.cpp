// The add and extract drivers: check the component's state, fill the parameter record of the
// library, run it and clean up on every path out.
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/application.h"
#include "platform/dialogs.h"
#include "platform/forms.h"
#include "zip/component/zip_keeper.h"

namespace {

// Strings and arrays of one parameter record, freed together after the library call.
class TRecordStrings {
public:
  const char* Keep(const std::string& s) {
    store_.push_back(std::make_unique<std::string>(s));
    return store_.back()->c_str();
  }
  const char* KeepOrNull(const std::string& s) { return s.empty() ? nullptr : Keep(s); }

private:
  std::vector<std::unique_ptr<std::string>> store_;
};

// "mm dd yy" of a date counted in days from 1899-12-30.
void FormatAddFrom(double date, char out[8]) {
  int64_t days = static_cast<int64_t>(date) - 25569 + 719468;  // to days from 0000-03-01
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t doe = days - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  int y = static_cast<int>(yoe + era * 400 + (m <= 2));
  char buf[16];
  snprintf(buf, sizeof buf, "%02d %02d %02d", m % 100, d % 100, ((y % 100) + 100) % 100);
  std::memcpy(out, buf, 8);
}

std::string FullPath(const AnsiString& dir) {
  std::error_code ec;
  auto p = std::filesystem::absolute(AnsiToSystemName(dir), ec);
  return ec ? AnsiToSystemName(dir) : p.lexically_normal().string();
}

int32_t Flag(bool b) { return b ? -1 : 0; }

}  // namespace

int TZipKeeper::Add() {
  if (Busy()) return -255;
  busyOperation_ = true;
  try {
    ExtAdd();
  } catch (...) {
    busyOperation_ = false;
    throw;
  }
  busyOperation_ = false;
  return errCode_;
}

int TZipKeeper::Extract() {
  if (Busy()) return -255;
  busyOperation_ = true;
  try {
    ExtExtract();
  } catch (...) {
    busyOperation_ = false;
    throw;
  }
  busyOperation_ = false;
  return errCode_;
}

void TZipKeeper::ExtAdd() {
  successCnt_ = 0;
  errCode_ = 0;
  message_.clear();
  if (fSpecArgs_.Count() == 0) {
    if (AddOptions.Contains(AddUpdate)) {
      AddOptions.Exclude(AddUpdate);
      AddOptions.Include(AddFreshen);
    }
    if (!AddOptions.Contains(AddFreshen)) {
      ShowZipMessage(10301, AnsiString());
      return;
    }
    fSpecArgs_.Add("*.*");
  }
  if (AddOptions.Contains(AddDiskSpanErase)) {
    AddOptions.Include(AddDiskSpan);
    SpanOptions.Include(spWipeFiles);
  }
  if (zipFileName_.empty()) {
    ShowZipMessage(10102, AnsiString());
    return;
  }
  if (Unattended && AddOptions.Contains(AddEncrypt) && Password.empty()) {
    ShowZipMessage(10302, AnsiString());
    return;
  }
  AnsiString target = zipFileName_;
  if (AddOptions.Contains(AddDiskSpan)) {
    if (AddOptions.Contains(AddFreshen) || AddOptions.Contains(AddUpdate)) {
      ShowZipMessage(10303, AnsiString());
      return;
    }
    if (AnsiUpperCase(ExtractFileExt(zipFileName_)) == ".EXE") {
      ShowZipMessage(11041, AnsiString());
      return;
    }
    // The library builds an ordinary archive, which is then copied out into volumes.
    target = MakeTempFileName("zip", ".zip");
    if (target.empty()) {
      ShowZipMessage(11027, AnsiString());
      return;
    }
    if (Verbose && OnMessage.Assigned()) OnMessage(this, 0, "Temporary zipfile: " + target);
  }
  if (busyZip_) return;
  // A new ".EXE" archive starts as an empty self-extractor; the builder's exceptions reach the
  // caller.
  if (target == zipFileName_ && AnsiUpperCase(ExtractFileExt(zipFileName_)) == ".EXE" && !FileExists(zipFileName_) &&
      dataStart_ == 0)
    CreateEmptySFX();
  RunAdd(target);
  // The listing is re-read only when entries were added: a failed add keeps the old one. A file
  // the run left out stays reported: the re-read does not clear the run's error.
  if (successCnt_ > 0) {
    TRunError runError = SaveRunError();
    ReadDirectory();
    KeepRunError(runError);
  }
}

void TZipKeeper::RunAdd(const AnsiString& Archive) {
  struct TCleanup {
    TZipKeeper* k;
    AnsiString temporary;
    bool held = false;
    ~TCleanup() {
      if (!temporary.empty()) DeleteFile(temporary);
      k->fSpecArgs_.Clear();
      k->fSpecArgsExcl_.Clear();
      if (held) k->zipDll_->Unload(false);
      k->extraData_.clear();
      k->Cancel = false;
      k->busyZip_ = false;
    }
  } cleanup{this, Archive == zipFileName_ ? AnsiString() : Archive};
  try {
    if (zipDll_->LoadChecked(173, false) == 0) return;
    cleanup.held = true;
  } catch (const EZipKeeper& e) {
    ShowExceptionError(e);
    return;
  }
  busyZip_ = true;
  Cancel = false;
  try {
    TZipParams rec{};
    TRecordStrings keep;
    rec.OwnerWindow = Unattended ? nullptr : static_cast<void*>(Application->MainForm());
    rec.Caller = static_cast<TObject*>(this);
    rec.Version = 173;
    rec.Callback = &TZipKeeper::CallbackFunction;
    rec.Trace = Flag(Trace);
    rec.Password = keep.KeepOrNull(AnsiToUtf8(Password.substr(0, 81)));
    rec.StoreSuffixes = keep.KeepOrNull(StoreSuffixList());
    rec.Encrypt = Flag(AddOptions.Contains(AddEncrypt));
    rec.HiddenFiles = Flag(AddOptions.Contains(AddHiddenFiles));
    rec.Volume = Flag(AddOptions.Contains(AddVolume));
    rec.Spanned = Flag(!cleanup.temporary.empty());
    rec.NoDirEntries = Flag(!AddOptions.Contains(AddSeparateDirs));
    rec.FromDate = Flag(AddOptions.Contains(AddFromDate));
    rec.Verbose = Flag(Verbose || Trace);
    rec.Quiet = -1;
    rec.Level = AddCompLevel;
    rec.JunkDirs = Flag(!AddOptions.Contains(AddDirNames));
    rec.Recurse = AddOptions.Contains(AddRecurseDirs) ? 0xFFFF : 0;
    rec.Grow = Flag(!AddOptions.Contains(AddSafe));
    rec.ForceDos = Flag(AddOptions.Contains(AddForceDOS));
    rec.Move = Flag(AddOptions.Contains(AddMove));
    rec.Update = Flag(AddOptions.Contains(AddUpdate));
    rec.Freshen = AddOptions.Contains(AddUpdate) ? 0 : Flag(AddOptions.Contains(AddFreshen));
    rec.ZipTime = Flag(AddOptions.Contains(AddZipTime));
    FormatAddFrom(AddFrom, rec.Date);
    rec.ArchiveName = keep.Keep(ResolveSystemName(Archive));
    rec.TempDir = keep.KeepOrNull(AnsiToSystemName(TempDir));
    rec.ArchiveComment = keep.KeepOrNull(zipComment_);
    rec.ArchiveOnly = AddOptions.Contains(AddArchiveOnly) ? 1 : 0;
    rec.ResetArchive = AddOptions.Contains(AddResetArchive) ? 1 : 0;
    rec.Recycle = Flag(HowToDelete == htdAllowUndo);
    rec.OemNames = CodePage == cpOEM ? 2 : 0;
    AnsiString folder = ExtractFileDir(zipFileName_);
    if (AddOptions.Contains(AddForceDest) && !folder.empty()) ForceDirectories(folder);
    if (!folder.empty() && !DirectoryExists(folder)) throw EZipKeeper(10308, folder);
    std::vector<TZipFileSpec> specs(static_cast<size_t>(fSpecArgs_.Count()));
    const char* root = RootDir.empty() ? nullptr : keep.Keep(FullPath(RootDir));
    for (int i = 0; i < fSpecArgs_.Count(); ++i) {
      AnsiString line = fSpecArgs_[i];
      TZipFileSpec& s = specs[static_cast<size_t>(i)];
      s.Recurse = rec.Recurse;
      size_t start = 0;
      if (!line.empty() && line[0] == '>') s.Recurse = 0xFFFF, start = 1;
      else if (!line.empty() && line[0] == '|') s.Recurse = 0, start = 1;
      s.Encrypt = rec.Encrypt;
      AnsiString pw = Password;
      size_t end = line.size();
      size_t lt = line.find('<');
      if (lt != AnsiString::npos) {
        pw.clear();
        s.Encrypt = 65535;
        if (lt + 1 < line.size() && line[lt + 1] != ' ') pw = line.substr(lt + 1);
        else s.Encrypt = 0;
        end = lt;
      }
      s.Spec = keep.Keep(ResolveSystemName(Trim(line.substr(std::min(start, end), end - std::min(start, end)))));
      s.Password = keep.KeepOrNull(AnsiToUtf8(pw));
      s.RootDir = root;
    }
    std::vector<const char*> excludes;
    for (int i = 0; i < fSpecArgsExcl_.Count(); ++i) excludes.push_back(keep.Keep(AnsiToSystemName(fSpecArgsExcl_[i])));
    // A spanned add leaves out the target and its earlier volumes, named by their full paths, as
    // an ordinary add leaves out its archive.
    if (!cleanup.temporary.empty())
      for (auto& v : OwnVolumes(zipFileName_)) excludes.push_back(keep.Keep(v));
    rec.SpecCount = fSpecArgs_.Count();
    rec.Specs = specs.data();
    rec.ExcludeCount = static_cast<int32_t>(excludes.size());
    rec.Excludes = excludes.empty() ? nullptr : excludes.data();
    rec.Check = kParamsCheck;
    eventError_.clear();
    successCnt_ = zipDll_->Exec(&rec);
    if (successCnt_ < 0) {
      successCnt_ = 0;
      ShowZipMessage(10101, "fatal Dll error");
    }
    // A file too large for the volumes was refused before anything was written; said as the
    // other refusals of a spanned add are.
    if (!cleanup.temporary.empty() && successCnt_ == 0 && errCode_ == kzeSpanSize)
      ShowZipMessage(11048, " " + message_);
    if (!cleanup.temporary.empty() && successCnt_ > 0) {
      int r;
      TRunError runError = SaveRunError();
      try {
        r = WriteSpan(Archive, zipFileName_);
        if (r == 0) KeepRunError(runError);
      } catch (const EZipKeeper&) {
        r = -1;
        ShowZipMessage(10101, AnsiString());
      }
      if (r != 0) {
        successCnt_ = 0;
        if (AddOptions.Contains(AddMove)) {
          // The library has moved the files into the temporary archive: it stays, or they would
          // be lost with it.
          cleanup.temporary.clear();
          AnsiString text = "Moved files kept in: " + Archive;
          if (!Unattended) ShowMessage(text);
          CallEvent(OnMessage, this, 0, text);
        }
      }
    }
  } catch (const EZipKeeper& e) {
    ShowExceptionError(e);
  } catch (const Exception&) {
    ShowZipMessage(10101, AnsiString());
  } catch (const std::exception&) {
    ShowZipMessage(10101, AnsiString());
  }
}

void TZipKeeper::ExtExtract() {
  successCnt_ = 0;
  errCode_ = 0;
  message_.clear();
  unsigned savedReqCount = passwordReqCount_;
  if (zipFileName_.empty()) {
    ShowZipMessage(10102, AnsiString());
    return;
  }
  if (!FileExists(zipFileName_)) {
    ShowZipMessage(11001, AnsiString());
    return;
  }
  if (dir_.empty()) {
    ReadDirectory();
    if (dir_.empty()) {
      if (errCode_ == 0) ShowZipMessage(11002, AnsiString());
      return;
    }
  }
  if (busyUnzip_) return;
  bool zeroed = false;
  if (Unattended && Password.empty() && !OnPasswordError.Assigned()) {
    passwordReqCount_ = 0;
    zeroed = true;
    ShowZipMessage(10502, AnsiString());
  }
  Cancel = false;
  busyUnzip_ = true;
  bool held = false;
  // A volume set is read from one ordinary archive joined from its volumes.
  AnsiString joined, archive = zipFileName_;
  bool ready = true;
  if (spanned_) {
    joined = TempDir.empty() ? AnsiString() : IncludeTrailingPathDelimiter(TempDir);
    ready = ReadSpan(zipFileName_, joined) == 0;
    archive = joined;
  }
  try {
    if (ready && unzDll_->LoadChecked(172, false) != 0) held = true;
  } catch (const EZipKeeper& e) {
    ShowExceptionError(e);
  }
  if (held) {
    try {
      TUnzParams rec{};
      TRecordStrings keep;
      rec.OwnerWindow = Unattended ? nullptr : static_cast<void*>(Application->MainForm());
      rec.Caller = static_cast<TObject*>(this);
      rec.Version = unzDll_->Version();
      rec.Callback = &TZipKeeper::CallbackFunction;
      rec.Trace = Flag(Trace);
      rec.Password = keep.Keep(AnsiToUtf8(Password));
      rec.Test = Flag(ExtrOptions.Contains(ExtrTest));
      rec.Quiet = -1;
      rec.Verbose = Flag(Verbose || Trace);
      rec.Update = Flag(ExtrOptions.Contains(ExtrUpdate));
      rec.Freshen = ExtrOptions.Contains(ExtrUpdate) ? 0 : Flag(ExtrOptions.Contains(ExtrFreshen));
      rec.DirNames = Flag(ExtrOptions.Contains(ExtrDirNames));
      rec.OverWrite = Flag(ExtrOptions.Contains(ExtrOverWrite));
      rec.ArchiveName = keep.Keep(AnsiToSystemName(archive));
      rec.PasswordRepeat = static_cast<int32_t>(passwordReqCount_);
      rec.CodePage = static_cast<int16_t>(CodePage == cpOEM ? 2 : CodePage == cpNone ? 1 : 0);
      if (!ExtrBaseDir.empty()) {
        if (ExtrOptions.Contains(ExtrForceDirs)) ForceDirectories(ExtrBaseDir);
        if (!DirectoryExists(ExtrBaseDir)) throw EZipKeeper(10504, ExtrBaseDir);
        rec.BaseDir = keep.Keep(AnsiToSystemName(ExtrBaseDir));
      }
      std::vector<TUnzFileSpec> specs;
      if (fSpecArgs_.Count() > 0 && fSpecArgs_[0] != "*.*") {
        specs.resize(static_cast<size_t>(fSpecArgs_.Count()));
        for (int i = 0; i < fSpecArgs_.Count(); ++i)
          specs[static_cast<size_t>(i)].Spec = keep.Keep(AnsiToSystemName(fSpecArgs_[i]));
      }
      rec.SpecCount = static_cast<int32_t>(specs.size());
      rec.Specs = specs.empty() ? nullptr : specs.data();
      rec.Check = kParamsCheck;
      eventError_.clear();
      successCnt_ = unzDll_->Exec(&rec);
      if (successCnt_ < 0) {
        successCnt_ = 0;
        ShowZipMessage(10101, "fatal Dll error");
      }
    } catch (const EZipKeeper& e) {
      ShowExceptionError(e);
    } catch (const Exception&) {
      ShowZipMessage(10501, AnsiString());
    } catch (const std::exception&) {
      ShowZipMessage(10501, AnsiString());
    }
  }
  if (!joined.empty()) DeleteFile(joined);
  fSpecArgs_.Clear();
  if (zeroed) passwordReqCount_ = savedReqCount;
  if (held) unzDll_->Unload(false);
  Cancel = false;
  busyUnzip_ = false;
}
