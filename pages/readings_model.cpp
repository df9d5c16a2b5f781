#include "pages/readings_model.h"

#include "pages/chart_rules.h"

namespace quorvel {
namespace {

constexpr int kHeaderLines = 2;

}  // namespace

ReadingsModel::ReadingsModel(std::size_t lines_kept, QObject* parent)
    : QAbstractListModel(parent), lines_kept_(lines_kept) {}

void ReadingsModel::Restart() {
  beginResetModel();
  lines_.clear();
  endResetModel();
}

void ReadingsModel::AddNewest(std::string line) {
  if (lines_.size() >= lines_kept_ && !lines_.empty()) {
    const int last = kHeaderLines + static_cast<int>(lines_.size()) - 1;
    beginRemoveRows(QModelIndex(), last, last);
    lines_.pop_back();
    endRemoveRows();
  }
  beginInsertRows(QModelIndex(), kHeaderLines, kHeaderLines);
  lines_.push_front(std::move(line));
  endInsertRows();
}

int ReadingsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kHeaderLines + static_cast<int>(lines_.size());
}

QVariant ReadingsModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  switch (index.row()) {
    case 0:
      return QString::fromLatin1(kTextHeaderTitle);
    case 1:
      return QString::fromStdString(TextHeaderColumns());
    default:
      return QString::fromStdString(lines_[static_cast<std::size_t>(index.row() - kHeaderLines)]);
  }
}

}  // namespace quorvel
