// The chart view's text list: two header lines, then one line per reading,
// the newest on top. Only the newest kTextLinesKept readings are kept, so
// that a long session cannot fill the memory; the oldest go first.
#pragma once

#include <QAbstractListModel>

#include <deque>
#include <string>

namespace quorvel {

class ReadingsModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit ReadingsModel(std::size_t lines_kept, QObject* parent = nullptr);

  // Only the two header lines.
  void Restart();
  // A reading's line, below the header lines.
  void AddNewest(std::string line);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  std::size_t lines_kept_;
  std::deque<std::string> lines_;  // newest first, without the headers
};

}  // namespace quorvel
