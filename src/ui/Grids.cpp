#include "ui/Grids.h"

#include "base/Errors.h"

namespace ui {

void TValueListEditor::SetStrings(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  Notify(Prop::ItemsReset);
}

void TValueListEditor::AddLine(const std::string& line) {
  lines_.push_back(line);
  Notify(Prop::ItemInserted, RowCount() - 1);
}

void TValueListEditor::ClearLines() {
  lines_.clear();
  Notify(Prop::ItemsReset);
}

// ------------------------------------------------------------- TStringGrid

namespace {
// Counts come from settings files too; a hand-edited one must not exhaust memory.
constexpr long long kMaxGridCells = 1LL << 20;
void CheckGridSize(int rows, int cols) {
  if (static_cast<long long>(rows) * cols > kMaxGridCells) throw EQuillanError("Grid too large");
}
}  // namespace

void TStringGrid::SetRowCount(int n) {
  if (n <= fixedRows_) throw EQuillanError("Fixed row count must be less than row count");
  CheckGridSize(n, cols_);
  rows_ = n;
  Resize();
}

void TStringGrid::SetColCount(int n) {
  if (n <= fixedCols_) throw EQuillanError("Fixed column count must be less than column count");
  CheckGridSize(rows_, n);
  cols_ = n;
  Resize();
}

void TStringGrid::SetFixedRows(int n) {
  if (n < 0 || n >= rows_) throw EQuillanError("Fixed row count must be less than row count");
  fixedRows_ = n;
  Notify(Prop::Counts);
}

void TStringGrid::SetFixedCols(int n) {
  if (n < 0 || n >= cols_) throw EQuillanError("Fixed column count must be less than column count");
  fixedCols_ = n;
  Notify(Prop::Counts);
}

void TStringGrid::Resize() {
  cells_.resize(static_cast<std::size_t>(cols_));
  for (auto& column : cells_) column.resize(static_cast<std::size_t>(rows_));
  Notify(Prop::Counts);
}

const std::string& TStringGrid::Cell(int col, int row) const {
  static const std::string empty;
  if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return empty;
  return cells_[static_cast<std::size_t>(col)][static_cast<std::size_t>(row)];
}

void TStringGrid::SetCell(int col, int row, const std::string& text) {
  if (col < 0 || col >= cols_ || row < 0 || row >= rows_) {
    throw EQuillanError("Grid index out of range (" + std::to_string(col) + ", " + std::to_string(row) + ")");
  }
  cells_[static_cast<std::size_t>(col)][static_cast<std::size_t>(row)] = text;
  Notify(Prop::Cells, row * cols_ + col);
}

}  // namespace ui
