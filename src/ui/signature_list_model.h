// The rows of the signature list: two cells of code page 936 bytes, a row value and a check
// box each, in the order they were added. Cells become Qt strings only when a view reads them.
//
// The operations act on the rows at once. Views learn of appended rows in batches, at most a
// few dozen times a second, so a worker that appends rows one by one does not make the view
// lay out its whole length for every row.
#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

#include "core/text.h"

namespace tarnwick {

class SignatureListModel : public QAbstractTableModel {
 public:
  static constexpr int32_t column_count = 2;

  explicit SignatureListModel(QObject* parent = nullptr);

  // Rows and columns count from 0; indices that name nothing read as empty / 0 and change nothing.
  int32_t append_row();  // -1 when the list cannot take another row
  void set_cell(int32_t row, int32_t column, const Text& text);
  Text cell(int32_t row, int32_t column) const;
  int32_t row_value(int32_t row) const;
  void set_row_value(int32_t row, int32_t value);
  bool checked(int32_t row) const;
  void delete_row(int32_t row);
  void clear();
  int32_t size() const { return static_cast<int32_t>(rows_.size()); }

  // Tells the views of every row appended since they last heard.
  void show_appended_rows();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct Row {
    std::string cells[column_count];
    int32_t value = 0;
    bool checked = false;
  };

  bool has_row(int32_t row) const { return row >= 0 && row < size(); }
  bool shown(int32_t row) const { return row >= 0 && row < shown_rows_; }

  std::vector<Row> rows_;
  int32_t shown_rows_ = 0;  // the rows the views know of
  QTimer show_timer_;
};

}  // namespace tarnwick
