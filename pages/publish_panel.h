// The settings page's Publish tab: where readings go (an MQTT broker), as
// the [Publish] section of the settings file holds it, and a line that says
// how the connection stands. The tab draws and forwards: the fields' rules
// are in publish_rules, and the window's publisher host stores what a save
// asks for, restarts the publisher with it and words its state. A password
// is never typed here, only the file it is read from.
#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

#include "model/publish_settings.h"
#include "pages/publish_rules.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace quorvel {

class MarkedField;

class PublishPanel : public QWidget {
  Q_OBJECT

 public:
  // Asks the user for a file: the path chosen, or an empty text.
  using FileChooser = std::function<QString(QWidget* parent, const QString& title, const QString& start)>;

  explicit PublishPanel(QWidget* parent = nullptr);

  // Every field from the settings; marks and reasons cleared.
  void Fill(const PublishSettings& settings);
  // Where Entering() takes the settings from.
  void SetSource(std::function<PublishSettings()> source) { source_ = std::move(source); }
  // The settings page is shown: the fields from the source, as stored.
  void Entering();

  // The settings a save stores, checked by their rules now: nothing, with
  // the offending fields marked red and the reasons under them, when one
  // breaks its rule.
  std::optional<PublishSettings> Request();

  void ShowState(const QString& text);
  QString StateText() const;
  // The client id used when the field is empty.
  void SetClientIdPlaceholder(const QString& text);
  // The file dialog by default; tests put their own.
  void SetFileChooser(FileChooser chooser) { choose_file_ = std::move(chooser); }

 Q_SIGNALS:
  // "Save and apply" pressed, and every field kept its rule.
  void saveRequested(quorvel::PublishSettings settings);
  // The tab came into view or went out of it (its state line needs
  // refreshing only while it is seen).
  void visibilityChanged(bool shown);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  MarkedField* Field(PublishField field) const { return fields_[static_cast<std::size_t>(field)]; }
  MarkedField* AddField(PublishField field, const QString& name);
  QToolButton* AddChooser(PublishField field, const QString& name);
  void Build();
  PublishFields Fields() const;
  void ShowCheck(const PublishCheck& check);
  void OnSave();
  void OnChoose(PublishField field, const QString& title);

  std::function<PublishSettings()> source_;
  FileChooser choose_file_;
  bool checked_once_ = false;  // marks shown: a change of a switch checks again

  QCheckBox* enabled_ = nullptr;
  QLabel* state_ = nullptr;
  QCheckBox* discovery_ = nullptr;
  std::array<MarkedField*, kPublishFieldCount> fields_{};
  std::array<QToolButton*, kPublishFieldCount> choosers_{};
  QLabel* reasons_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace quorvel
