#pragma once
// A two-column grid that edits a list of name=value lines: the first row holds the column
// titles, every other row one line. Names and values are edited in place; a name that another
// line already has is refused (the cell goes back to its old text).
#include "platform/stdctrls.h"

class TValueListEditor : public TTextControl {
public:
  explicit TValueListEditor(TComponent* AOwner);
  ~TValueListEditor() override;
  // The lines, "name=value" each.
  TStrings* Strings() { return &strings_; }
  // The two column titles.
  TStrings* TitleCaptions() { return &titles_; }
  // Rows count the title row: row 1 is the first line. The current row is 1 while the list is
  // empty (the grid then shows one empty row, as a grid of lines does).
  int RowCount() const { return strings_.Count() + 1 > 2 ? strings_.Count() + 1 : 2; }
  int Row() const { return row_; }
  void SetRow(int r);
  // Removes the line of a row; a row without a line is left alone.
  void DeleteRow(int ARow);
  // Sets the text of a cell as the user's edit does (column 0 the name, 1 the value).
  void SetCell(int ACol, int ARow, const AnsiString& Text);
  AnsiString Cells(int ACol, int ARow) const;

protected:
  void CreateWnd() override;

private:
  void StringsChange(TObject*);
  void PushRows();
  TStringList strings_, titles_;
  int row_ = 1;
  bool syncing_ = false;
};
