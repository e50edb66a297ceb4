#include "platform/grids.h"

#include <QHeaderView>
#include <QTableWidget>

#include "platform/qt/control_host.h"
#include "platform/qt/widgets_qt.h"

TValueListEditor::TValueListEditor(TComponent* AOwner) : TTextControl(AOwner) {
  SetBorderStyle(bsNone);
  SetBounds(0, 0, 306, 300);
  SetColor(clWindow);
  titles_.Add("Key");
  titles_.Add("Value");
  strings_.OnChange = TNotifyEvent(this, &TValueListEditor::StringsChange);
  titles_.OnChange = TNotifyEvent(this, &TValueListEditor::StringsChange);
}

TValueListEditor::~TValueListEditor() {
  strings_.OnChange = nullptr;
  titles_.OnChange = nullptr;
}

void TValueListEditor::CreateWnd() {
  TTextControl::CreateWnd();
  auto* t = new QTableWidget(Host()->Frame());
  t->setColumnCount(2);
  t->verticalHeader()->hide();
  t->horizontalHeader()->setStretchLastSection(true);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  UseNative(t);
  PushRows();
  QObject::connect(t, &QTableWidget::currentCellChanged, t, [this](int row, int, int, int) {
    if (!syncing_ && row >= 0) row_ = row + 1;
  });
  QObject::connect(t, &QTableWidget::itemChanged, t, [this](QTableWidgetItem* item) {
    if (syncing_) return;
    GuardedCall(this, [this, item] { SetCell(item->column(), item->row() + 1, FromQStr(item->text())); });
  });
}

void TValueListEditor::StringsChange(TObject*) {
  if (row_ > RowCount() - 1) row_ = RowCount() - 1;
  PushRows();
}

void TValueListEditor::PushRows() {
  auto* t = HandleAllocated() ? static_cast<QTableWidget*>(Host()->Native()) : nullptr;
  if (!t) return;
  syncing_ = true;
  QStringList heads;
  for (int i = 0; i < 2; ++i) heads << (i < titles_.Count() ? QStr(titles_[i]) : QString());
  t->setHorizontalHeaderLabels(heads);
  int lines = strings_.Count();
  t->setRowCount(lines > 0 ? lines : 1);
  for (int r = 0; r < t->rowCount(); ++r)
    for (int c = 0; c < 2; ++c) t->setItem(r, c, new QTableWidgetItem(QStr(Cells(c, r + 1))));
  t->setCurrentCell(row_ - 1, 0);
  syncing_ = false;
}

void TValueListEditor::SetRow(int r) {
  if (r < 1 || r >= RowCount()) return;
  row_ = r;
  if (auto* t = HandleAllocated() ? static_cast<QTableWidget*>(Host()->Native()) : nullptr) {
    syncing_ = true;
    t->setCurrentCell(r - 1, 0);
    syncing_ = false;
  }
}

AnsiString TValueListEditor::Cells(int ACol, int ARow) const {
  int i = ARow - 1;
  if (i < 0 || i >= strings_.Count()) return AnsiString();
  return ACol == 0 ? strings_.Names(i) : strings_.ValueFromIndex(i);
}

void TValueListEditor::DeleteRow(int ARow) {
  int i = ARow - 1;
  if (i >= 0 && i < strings_.Count()) strings_.Delete(i);
}

void TValueListEditor::SetCell(int ACol, int ARow, const AnsiString& Text) {
  int i = ARow - 1;
  if (i < 0 || ACol < 0 || ACol > 1) return;
  if (i >= strings_.Count()) {
    if (Text.empty()) return;
    strings_.Add(ACol == 0 ? Text + "=" : "=" + Text);
    return;
  }
  AnsiString name = strings_.Names(i), value = strings_.ValueFromIndex(i);
  if (ACol == 0) {
    int other = strings_.IndexOfName(Text);
    if (Text.empty() || (other >= 0 && other != i) || Text.find('=') != AnsiString::npos) {
      PushRows();  // refused: the cell shows the old name again
      return;
    }
    name = Text;
  } else {
    value = Text;
  }
  strings_.Put(i, name + "=" + value);
}
