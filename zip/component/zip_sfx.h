#pragma once
// The self-extracting archive builder: an extractor stub, a settings header the stub reads, then
// the archive with every offset moved by what precedes it; optionally the stub's icon replaced.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/classes.h"
#include "platform/graphics.h"
#include "zip/component/zip_types.h"

enum TSFXOption { soAskCmdLine, soAskFiles, soHideOverWriteBox, soAutoRun, soNoSuccessMsg, soExpandVariables,
                  soInitiallyHideFiles, soForceHideFiles, soCheckAutoRunFileName, soCanBeCancelled };
using TSFXOptions = TZipSet<TSFXOption>;
enum TSFXOverwriteMode { somOverwrite, somSkip, somAsk };

// A failure of the builder: a message id (its text, or the fallback line and the id) or a text.
class EZipLibError : public Exception {
public:
  explicit EZipLibError(int Id);
  explicit EZipLibError(const AnsiString& Text) : Exception(Text) {}
  const char* ClassName() const override { return "EZipLibError"; }
  int Id = 0;
};

class TCustomZipSFX : public TComponent {
public:
  explicit TCustomZipSFX(TComponent* AOwner);
  ~TCustomZipSFX() override;
  AnsiString ClassName() const override { return "TCustomZipSFX"; }

  AnsiString SFXPath = "KVSFXUS.BIN";
  TSFXOptions Options;
  TSFXOverwriteMode OverwriteMode = somAsk;
  AnsiString Message;
  uint32_t MessageFlags = 0;
  AnsiString DefaultExtractPath;
  AnsiString DialogTitle;
  AnsiString CommandLine;
  AnsiString FallbackExtractPath;
  AnsiString SourceFile;
  AnsiString TargetFile;
  TIcon* Icon() { return icon_.get(); }
  void SetIcon(TIcon* v) { icon_->Assign(v); }
  AnsiString Version() const { return "04-24-2003"; }
  AnsiString SFXLanguage() const { return language_; }
  void SetSFXLanguage(const AnsiString& v);
  // 1: an old target goes to the desktop's trash (not offered here: it is removed).
  int HowToDelete = 1;

  // Writes TargetFile: stub, settings header, the archive (SourceFile) with its offsets moved,
  // then the icon. The empty form writes a bare end record in place of an archive.
  void Build();
  void BuildEmpty();

  // The settings header with its trailer, from the properties.
  std::string HeaderBytes() const;
  // Fills the properties from the header that ends right before position End of Bytes (its
  // trailer there), or from the older form within the 1032 bytes before it; false when neither
  // is found.
  bool ReadHeader(const std::string& Bytes, size_t End);
  bool ReadOldHeader(const std::string& Bytes, size_t End);

  // Appends the archive in Source (empty: a bare end record) behind Target's end, moving its
  // offsets by Target's length before the append.
  static void AppendArchive(FILE* Target, const AnsiString& Source);
  // Replaces the first icon image of a Windows executable with the image of the same size from
  // an icon file's bytes.
  static void ReplaceIcon(const AnsiString& File, const std::string& IconFile);

protected:
  // The stub's bytes for the language; SFXPath becomes the file used.
  std::string LoadStub();

private:
  void WriteTarget(bool Empty);
  std::unique_ptr<TIcon> icon_;
  AnsiString language_ = "US";
};

class TZipSFX : public TCustomZipSFX {
public:
  using TCustomZipSFX::TCustomZipSFX;
  AnsiString ClassName() const override { return "TZipSFX"; }
};
