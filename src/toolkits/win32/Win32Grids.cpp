// String grids and value lists.
#include "toolkits/win32/Win32Peer.h"

namespace ui::win32 {

namespace {

// Value lists and grids: a report-style list view showing the cells.
class TablePeer final : public WinPeer {
 public:
  using WinPeer::WinPeer;

 protected:
  void CreateNative() override {
    hwnd_ = CreateChild(WC_LISTVIEWA, LVS_REPORT | LVS_SHOWSELALWAYS | TabStop(), WS_EX_CLIENTEDGE, "");
  }
  void SyncAll() override {
    WinPeer::SyncAll();
    Rebuild();
  }
  void ApplyText() override {}
  void DpiChanged() override {
    ApplyBounds();
    Rebuild();
  }
  void Apply(Prop what, int index) override {
    switch (what) {
      case Prop::ItemsReset:
      case Prop::ItemInserted:
      case Prop::Counts:
      case Prop::Cells: Rebuild(); break;
      default: WinPeer::Apply(what, index); break;
    }
  }

 private:
  std::vector<std::vector<std::string>> Rows() const {
    std::vector<std::vector<std::string>> rows;
    if (auto* values = dynamic_cast<ui::TValueListEditor*>(&control_)) {
      for (const std::string& line : values->Strings()) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
          rows.push_back({line, ""});
        } else {
          rows.push_back({line.substr(0, eq), line.substr(eq + 1)});
        }
      }
    } else if (auto* grid = dynamic_cast<ui::TStringGrid*>(&control_)) {
      for (int r = 0; r < grid->RowCount(); ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < grid->ColCount(); ++c) row.push_back(grid->Cell(c, r));
        rows.push_back(std::move(row));
      }
    }
    return rows;
  }
  void Rebuild() {
    const auto rows = Rows();
    std::size_t columns = 2;
    if (auto* grid = dynamic_cast<ui::TStringGrid*>(&control_)) columns = static_cast<std::size_t>(grid->ColCount());
    SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(hwnd_, LVM_DELETEALLITEMS, 0, 0);
    while (SendMessageA(hwnd_, LVM_DELETECOLUMN, 0, 0) != 0) {
    }
    for (std::size_t c = 0; c < columns; ++c) {
      LVCOLUMNA column{};
      column.mask = LVCF_WIDTH;
      column.cx = Px(64);
      SendMessageA(hwnd_, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t c = 0; c < rows[r].size() && c < columns; ++c) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(r);
        item.iSubItem = static_cast<int>(c);
        item.pszText = const_cast<char*>(rows[r][c].c_str());
        SendMessageA(hwnd_, c == 0 ? LVM_INSERTITEMA : LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
      }
    }
    SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
};

}  // namespace

std::unique_ptr<WinPeer> NewTablePeer(ui::TControl& control, Win32Application& app) {
  return std::make_unique<TablePeer>(control, app);
}

}  // namespace ui::win32
