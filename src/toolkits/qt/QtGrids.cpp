// String grids and value lists.
#include "toolkits/qt/QtPeer.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTableWidget>

#include "toolkits/qt/QtApplication.h"

namespace ui::qt {

using ui::Prop;

namespace {

class ValueListPeer : public QtPeer {
 public:
  ValueListPeer(ui::TValueListEditor& v, QWidget* parent)
      : QtPeer(v, new QTableWidget(parent)), list_(v) {
    Table()->setColumnCount(2);
    Table()->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Value")});
    Table()->horizontalHeader()->setStretchLastSection(true);
    Table()->verticalHeader()->hide();
    Table()->setEditTriggers(QAbstractItemView::NoEditTriggers);
  }

 protected:
  QTableWidget* Table() const { return static_cast<QTableWidget*>(Widget()); }
  void Show() {
    const auto& lines = list_.Strings();
    Table()->setRowCount(static_cast<int>(lines.size()));
    int row = 0;
    for (const std::string& line : lines) {
      const size_t eq = line.find('=');
      const std::string key = line.substr(0, eq);
      const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
      Table()->setItem(row, 0, new QTableWidgetItem(ToQ(key)));
      Table()->setItem(row, 1, new QTableWidgetItem(ToQ(value)));
      ++row;
    }
  }
  void ApplyKind(Prop what, int) override {
    if (what == Prop::ItemsReset || what == Prop::ItemInserted || what == Prop::ItemDeleted ||
        what == Prop::Cells)
      Show();
  }
  void SyncKind() override { Show(); }

 private:
  ui::TValueListEditor& list_;
};

class StringGridPeer : public QtPeer {
 public:
  StringGridPeer(ui::TStringGrid& g, QWidget* parent)
      : QtPeer(g, new QTableWidget(parent)), grid_(g) {
    Table()->horizontalHeader()->hide();
    Table()->verticalHeader()->hide();
    Table()->setEditTriggers(QAbstractItemView::NoEditTriggers);
  }

 protected:
  QTableWidget* Table() const { return static_cast<QTableWidget*>(Widget()); }
  void ShowCell(int col, int row) {
    auto* item = new QTableWidgetItem(ToQ(grid_.Cell(col, row)));
    if (row < grid_.FixedRows() || col < grid_.FixedCols())
      item->setBackground(Table()->palette().button());
    Table()->setItem(row, col, item);
  }
  void Show() {
    Table()->setRowCount(grid_.RowCount());
    Table()->setColumnCount(grid_.ColCount());
    for (int c = 0; c < grid_.ColCount(); ++c)
      for (int r = 0; r < grid_.RowCount(); ++r) ShowCell(c, r);
  }
  void ApplyKind(Prop what, int index) override {
    if (what == Prop::Counts) Show();
    if (what != Prop::Cells) return;
    const int cols = grid_.ColCount();
    if (index < 0 || cols <= 0 || Table()->columnCount() != cols ||
        Table()->rowCount() != grid_.RowCount()) {
      Show();
      return;
    }
    ShowCell(index % cols, index / cols);
  }
  void SyncKind() override { Show(); }

 private:
  ui::TStringGrid& grid_;
};

}  // namespace

std::unique_ptr<QtPeer> NewValueListPeer(ui::TValueListEditor& control, QWidget* parent) {
  return std::make_unique<ValueListPeer>(control, parent);
}

std::unique_ptr<QtPeer> NewStringGridPeer(ui::TStringGrid& control, QWidget* parent) {
  return std::make_unique<StringGridPeer>(control, parent);
}

}  // namespace ui::qt
