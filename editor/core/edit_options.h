#pragma once
// Option objects the editor owns and publishes (selection colours, gutter, bookmark options, the
// word-wrap glyph), the shared strip of built-in bookmark images, and line marks with their
// list. Every option object reports each effective change through OnChange.
#include <array>
#include <memory>

#include "platform/classes.h"
#include "platform/cursors.h"
#include "platform/graphics.h"

class TSrcSelectedColor : public TPersistent {
public:
  TColor Background() const { return bg_; }
  void SetBackground(TColor v);
  TColor Foreground() const { return fg_; }
  void SetForeground(TColor v);
  void Assign(TPersistent* Source) override;

  TNotifyEvent OnChange;

private:
  TColor bg_ = clHighlight;
  TColor fg_ = clHighlightText;
};

enum TSrcGutterBorderStyle { gbsNone, gbsMiddle, gbsRight };

class TSrcGutter : public TPersistent {
public:
  TSrcGutter();
  ~TSrcGutter() override;

  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* v);  // copies v
  bool UseFontStyle() const { return useFontStyle_; }
  void SetUseFontStyle(bool v);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  int Width() const { return width_; }
  void SetWidth(int v);  // below 0 becomes 0
  int LeftOffset() const { return leftOffset_; }
  void SetLeftOffset(int v);
  int RightOffset() const { return rightOffset_; }
  void SetRightOffset(int v);
  int DigitCount() const { return digitCount_; }
  void SetDigitCount(int v);  // 2..12; also resets the automatic digit count
  int AutoSizeDigitCountValue() const { return autoSizeDigitCount_; }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool ShowLineNumbers() const { return showLineNumbers_; }
  void SetShowLineNumbers(bool v);
  bool LeadingZeros() const { return leadingZeros_; }
  void SetLeadingZeros(bool v);
  bool ZeroStart() const { return zeroStart_; }
  void SetZeroStart(bool v);
  TSrcGutterBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TSrcGutterBorderStyle v);  // reports a change even when equal
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor v);

  // Sizes the automatic digit count for a number of lines.
  void AutoSizeDigitCount(int LinesCount);
  AnsiString FormatLineNumber(int Line) const;
  int RealGutterWidth(int CharWidth) const;
  void Assign(TPersistent* Source) override;

  TNotifyEvent OnChange;

private:
  void Changed();
  void FontChanged(TObject* Sender);

  std::unique_ptr<TFont> font_;
  bool useFontStyle_ = true;
  TColor color_ = clBtnFace;
  bool visible_ = true;
  int width_ = 30;
  int leftOffset_ = 16;
  int rightOffset_ = 2;
  int digitCount_ = 4;
  int autoSizeDigitCount_ = 4;
  bool autoSize_ = false;
  bool showLineNumbers_ = false;
  bool leadingZeros_ = false;
  bool zeroStart_ = false;
  TSrcGutterBorderStyle borderStyle_ = gbsMiddle;
  TCursor cursor_ = crDefault;
  bool assigning_ = false;
};

// Bookmark options. The owner is the editor control: it is told when the image list goes away.
class TSrcBookMarkOpt : public TPersistent {
public:
  explicit TSrcBookMarkOpt(TComponent* AOwner);

  TImageList* BookmarkImages() const { return images_; }
  void SetBookmarkImages(TImageList* v);
  bool DrawBookmarksFirst() const { return drawFirst_; }
  void SetDrawBookmarksFirst(bool v);
  bool EnableKeys() const { return enableKeys_; }
  void SetEnableKeys(bool v) { enableKeys_ = v; }
  bool GlyphsVisible() const { return glyphsVisible_; }
  void SetGlyphsVisible(bool v);
  int LeftMargin() const { return leftMargin_; }
  void SetLeftMargin(int v);
  int Xoffset() const { return xOffset_; }
  void SetXoffset(int v);
  void Assign(TPersistent* Source) override;

  TNotifyEvent OnChange;

private:
  void Changed() { CallEvent(OnChange, this); }
  TComponent* owner_;
  TImageList* images_ = nullptr;
  bool drawFirst_ = true;
  bool enableKeys_ = true;
  bool glyphsVisible_ = true;
  int leftMargin_ = 2;
  int xOffset_ = 12;
};

// A small picture drawn beside a row (the editor's word-wrap glyph). Pixels of the mask colour
// are left out.
class TSrcGlyph : public TPersistent {
public:
  TSrcGlyph(HINSTANCE aModule, const AnsiString& aName, TColor aMaskColor);
  ~TSrcGlyph() override;

  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* v);  // copies the picture
  TColor MaskColor() const { return maskColor_; }
  void SetMaskColor(TColor v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  TBitmap* InternalGlyph() const { return internalGlyph_.get(); }
  TColor InternalMaskColor() const { return internalMaskColor_; }

  void Draw(TCanvas* aCanvas, int aX, int aY, int aLineHeight);
  int GlyphWidth() const;
  void Assign(TPersistent* Source) override;

  TNotifyEvent OnChange;

private:
  void GlyphChange(TObject* Sender);
  std::unique_ptr<TBitmap> internalGlyph_;
  TColor internalMaskColor_;
  std::unique_ptr<TBitmap> glyph_;
  TColor maskColor_ = clNone;
  bool visible_ = true;
  bool assigning_ = false;
};

// A strip of equal-width images in one bitmap, shared process-wide by resource name.
class TSrcInternalImage {
public:
  TSrcInternalImage(HINSTANCE aModule, const AnsiString& Name, int Count);
  ~TSrcInternalImage();
  TSrcInternalImage(const TSrcInternalImage&) = delete;
  TSrcInternalImage& operator=(const TSrcInternalImage&) = delete;

  void DrawMark(TCanvas* ACanvas, int Number, int X, int Y, int LineHeight);
  TBitmap* Bitmap() const { return images_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const { return count_; }
  // Uses of the shared bitmap of a resource name (0 when none is loaded).
  static int SharedUsage(const AnsiString& Name);

private:
  TBitmap* images_;
  int width_ = 0, height_ = 0, count_ = 0;
};

class TSrcEditMark;
class TSrcEditMarkList;

// What a mark needs of the editor it belongs to; the editor control implements it.
class TSrcMarkOwner {
public:
  virtual TSrcEditMarkList* MarkList() = 0;
  virtual void InvalidateGutterLines(int FirstLine, int LastLine) = 0;

protected:
  ~TSrcMarkOwner() = default;
};

class TSrcEditMark : public TObject {
public:
  explicit TSrcEditMark(TSrcMarkOwner* AOwner);

  int Line() const { return line_; }
  virtual void SetLine(int Value);
  int Char() const { return char_; }
  virtual void SetChar(int Value) { char_ = Value; }
  int ImageIndex() const { return image_; }
  virtual void SetImage(int Value);
  void SetImageIndex(int Value) { SetImage(Value); }
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  bool InternalImage() const { return internalImage_; }
  void SetInternalImage(bool Value);
  int BookmarkNumber() const { return bookmarkNumber_; }
  void SetBookmarkNumber(int Value) { bookmarkNumber_ = Value; }
  bool IsBookmark() const { return bookmarkNumber_ >= 0; }
  // The editor while its mark list holds this mark; otherwise the mark forgets it.
  virtual TSrcMarkOwner* GetEdit();

private:
  void InvalidateOwnLine();
  int line_ = 0, char_ = 0, image_ = 0;
  TSrcMarkOwner* edit_;
  bool visible_ = false, internalImage_ = false;
  int bookmarkNumber_ = -1;
};

using TSrcEditMarks = std::array<TSrcEditMark*, 16>;

// The marks of an editor; owns them.
class TSrcEditMarkList : public TList {
public:
  explicit TSrcEditMarkList(TSrcMarkOwner* AOwner) : edit_(AOwner) {}
  ~TSrcEditMarkList() override;

  TSrcEditMark* Items(int Index) const { return static_cast<TSrcEditMark*>(Get(Index)); }
  int Add(TSrcEditMark* Item);
  // Takes the mark out of the list (the caller frees it).
  int Remove(TSrcEditMark* Item);
  // The first 16 marks on Line, in list order; the other entries are nil.
  void GetMarksForLine(int Line, TSrcEditMarks& Marks) const;
  TSrcMarkOwner* Edit() const { return edit_; }

  TNotifyEvent OnChange;

private:
  TSrcMarkOwner* edit_;
};

// Resource names of the editor's built-in bitmaps.
constexpr const char* kInternalImagesResource = "SrcEditInternalImages";
constexpr const char* kWrappedGlyphResource = "SrcEditWrapped";
// Registers the editor's built-in bitmaps with the platform (done once, on first need).
void RegisterEditorBitmaps();
