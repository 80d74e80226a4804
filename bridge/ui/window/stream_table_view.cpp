#include "bridge/ui/window/stream_table_view.h"

#include <FL/fl_draw.H>

#include <cstddef>

#include "bridge/ui/window/layout.h"

namespace tw::window {

namespace {

constexpr int kRowHeight = 18;
constexpr int kFontSize = 11;

Fl_Color RowColor(const std::string& state) {
  if (state == StateName(StreamState::Connected)) return fl_rgb_color(0xDD, 0xFF, 0xDD);
  if (state == StateName(StreamState::Disconnected)) return FL_WHITE;
  return fl_rgb_color(0xFF, 0xFF, 0xD0);  // on the way up or down
}

}  // namespace

StreamTableView::StreamTableView(int x, int y, int w, int h) : Fl_Table(x, y, w, h) {
  rows(kStreamCount);
  cols(static_cast<int>(kStreamColumns.size()));
  col_header(1);
  col_header_height(kRowHeight);
  row_height_all(kRowHeight);
  for (std::size_t c = 0; c < kStreamColumns.size(); ++c) col_width(static_cast<int>(c), kStreamColumnWidths.at(c));
  for (std::size_t s = 0; s < rows_.size(); ++s) rows_[s] = StreamRow(s, {});
  end();
}

void StreamTableView::Show(const Rows& rows) {
  if (rows == rows_) return;
  rows_ = rows;
  redraw();
}

void StreamTableView::draw_cell(TableContext context, int row, int col, int x, int y, int w, int h) {
  const auto c = static_cast<std::size_t>(col);
  switch (context) {
    case CONTEXT_STARTPAGE:
      fl_font(FL_HELVETICA, kFontSize);
      return;
    case CONTEXT_COL_HEADER: {
      fl_push_clip(x, y, w, h);
      fl_draw_box(FL_THIN_UP_BOX, x, y, w, h, col_header_color());
      fl_font(FL_HELVETICA_BOLD, kFontSize);
      fl_color(FL_BLACK);
      const std::string heading(kStreamColumns.at(c).heading);
      fl_draw(heading.c_str(), x + 3, y, w - 6, h, FL_ALIGN_LEFT, nullptr, 0);
      fl_pop_clip();
      return;
    }
    case CONTEXT_CELL: {
      const StreamCells& cells = rows_.at(static_cast<std::size_t>(row));
      fl_push_clip(x, y, w, h);
      fl_color(RowColor(cells[1]));
      fl_rectf(x, y, w, h);
      fl_font(FL_HELVETICA, kFontSize);
      fl_color(FL_BLACK);
      // Cells hold escaped printable text: drawn as it is, no symbols.
      const Fl_Align align = kStreamColumns.at(c).numeric ? FL_ALIGN_RIGHT : FL_ALIGN_LEFT;
      fl_draw(cells.at(c).c_str(), x + 3, y, w - 6, h, align, nullptr, 0);
      fl_color(FL_LIGHT2);
      fl_rect(x, y, w, h);
      fl_pop_clip();
      return;
    }
    default:
      return;
  }
}

}  // namespace tw::window
