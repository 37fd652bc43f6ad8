// Grids: the name=value list and the string grid. No window shows them; the
// control-state walk saves and restores them.
#pragma once

#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

class TValueListEditor : public TWinControl {
 public:
  using TWinControl::TWinControl;
  // The lines, each "name=value".
  const std::vector<std::string>& Strings() const { return lines_; }
  void SetStrings(std::vector<std::string> lines);
  void AddLine(const std::string& line);
  void ClearLines();
  int RowCount() const { return static_cast<int>(lines_.size()); }

 private:
  std::vector<std::string> lines_;
};

class TStringGrid : public TWinControl {
 public:
  using TWinControl::TWinControl;
  int RowCount() const { return rows_; }
  int ColCount() const { return cols_; }
  int FixedRows() const { return fixedRows_; }
  int FixedCols() const { return fixedCols_; }
  // Throw EQuillanError when the fixed counts would not leave a scrolling
  // row or column, as the grid refuses such a shape.
  void SetRowCount(int n);
  void SetColCount(int n);
  void SetFixedRows(int n);
  void SetFixedCols(int n);
  const std::string& Cell(int col, int row) const;
  void SetCell(int col, int row, const std::string& text);

 private:
  void Resize();
  int rows_ = 5, cols_ = 5, fixedRows_ = 1, fixedCols_ = 1;
  std::vector<std::vector<std::string>> cells_ = std::vector<std::vector<std::string>>(
      5, std::vector<std::string>(5));  // [col][row]
};

}  // namespace ui
