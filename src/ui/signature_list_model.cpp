#include "ui/signature_list_model.h"

#include <limits>

#include "core/cp936.h"
#include "ui/qt_text.h"

namespace tarnwick {

namespace {
constexpr int show_interval_ms = 30;
}

SignatureListModel::SignatureListModel(QObject* parent) : QAbstractTableModel(parent) {
  show_timer_.setSingleShot(true);
  show_timer_.setInterval(show_interval_ms);
  connect(&show_timer_, &QTimer::timeout, this, &SignatureListModel::show_appended_rows);
}

int32_t SignatureListModel::append_row() {
  const int32_t row = size();
  if (row == std::numeric_limits<int32_t>::max()) return -1;
  rows_.emplace_back();
  if (!show_timer_.isActive()) show_timer_.start();
  return row;
}

void SignatureListModel::show_appended_rows() {
  show_timer_.stop();
  if (shown_rows_ == size()) return;
  beginInsertRows({}, shown_rows_, size() - 1);
  shown_rows_ = size();
  endInsertRows();
}

void SignatureListModel::set_cell(int32_t row, int32_t column, const Text& text) {
  if (!has_row(row) || column < 0 || column >= column_count) return;
  rows_[static_cast<size_t>(row)].cells[column] = text.str();
  if (!shown(row)) return;
  const QModelIndex changed = index(row, column);
  emit dataChanged(changed, changed, {Qt::DisplayRole});
}

Text SignatureListModel::cell(int32_t row, int32_t column) const {
  if (!has_row(row) || column < 0 || column >= column_count) return {};
  return Text(rows_[static_cast<size_t>(row)].cells[column]);
}

int32_t SignatureListModel::row_value(int32_t row) const {
  return has_row(row) ? rows_[static_cast<size_t>(row)].value : 0;
}

void SignatureListModel::set_row_value(int32_t row, int32_t value) {
  if (has_row(row)) rows_[static_cast<size_t>(row)].value = value;
}

bool SignatureListModel::checked(int32_t row) const {
  return has_row(row) && rows_[static_cast<size_t>(row)].checked;
}

void SignatureListModel::delete_row(int32_t row) {
  if (!has_row(row)) return;
  show_appended_rows();
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  --shown_rows_;
  endRemoveRows();
}

void SignatureListModel::clear() {
  show_timer_.stop();
  beginResetModel();
  std::vector<Row>().swap(rows_);
  shown_rows_ = 0;
  endResetModel();
}

int SignatureListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_rows_;
}

int SignatureListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : column_count;
}

QVariant SignatureListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !shown(index.row())) return {};
  const Row& row = rows_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return to_qstring(Text(row.cells[index.column()]));
    case Qt::CheckStateRole:
      if (index.column() == 0) return row.checked ? Qt::Checked : Qt::Unchecked;
      return {};
    case Qt::TextAlignmentRole:
      return index.column() == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                 : QVariant(Qt::AlignCenter);
    default:
      return {};
  }
}

bool SignatureListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || index.column() != 0 || !shown(index.row())) return false;
  rows_[static_cast<size_t>(index.row())].checked = value.value<Qt::CheckState>() == Qt::Checked;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  return true;
}

Qt::ItemFlags SignatureListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == 0) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

QVariant SignatureListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return section == 0 ? to_qstring("ID") : to_qstring("签名"_cp936);
  if (role == Qt::TextAlignmentRole) {
    return section == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignCenter);
  }
  return {};
}

}  // namespace tarnwick
