// The window's table of the ten streams: one row per stream, the columns of
// the status texts, rows with a link tinted by their state. It shows the
// cells it is given and nothing else.
#pragma once

#include <FL/Fl_Table.H>

#include <array>

#include "bridge/status/status_text.h"

namespace tw::window {

class StreamTableView final : public Fl_Table {
 public:
  using Rows = std::array<StreamCells, kStreamCount>;

  StreamTableView(int x, int y, int w, int h);

  void Show(const Rows& rows);
  const Rows& Shown() const { return rows_; }

 protected:
  void draw_cell(TableContext context, int row, int col, int x, int y, int w, int h) override;

 private:
  Rows rows_{};
};

}  // namespace tw::window
