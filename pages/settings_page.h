// The system settings page: the folders, the spreadsheet interval,
// automatic saving and the serial-line settings of the settings file, the
// meter's energy and cost limits with the shutdown choice, the program's
// description and features, the About view, and the Publish tab (where
// readings go, pages/publish_panel.h). It fills itself from the
// settings whenever it is shown and stores them with "Save To INI"; the
// limits go to and come from the selected meter by the tick.
#pragma once

#include <QString>

#include <functional>
#include <optional>

#include "device/dashboard_operations.h"
#include "model/display.h"
#include "pages/page_widget.h"
#include "pages/settings_rules.h"
#include "protocol/commands.h"

class QComboBox;
class QGridLayout;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QRadioButton;
class QToolButton;

namespace quorvel {

class AboutView;
class ImageButton;
class MarkedField;
class PublishPanel;

class SettingsPage : public PageWidget {
  Q_OBJECT

 public:
  // Asks the user for a folder: the path chosen, or an empty text when the
  // user cancels.
  using FolderChooser = std::function<QString(QWidget* parent, const QString& title, const QString& start)>;

  explicit SettingsPage(DashboardOperations& operations, QWidget* parent = nullptr);

  // Shown by the window's settings button: every control from the settings.
  void Entering() override;

  // The limits read from the meter.
  void ShowLimits(const LimitTexts& texts);
  // The limits a write request carries, checked by their rule now: nothing,
  // with the offending fields marked red, when one breaks it.
  std::optional<LimitValues> LimitRequest();

  // The folder dialog by default; tests put their own.
  void SetFolderChooser(FolderChooser chooser) { choose_folder_ = std::move(chooser); }

  // The Publish tab: where readings go, and how the connection stands.
  PublishPanel& Publishing() { return *publish_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildFolders(QGridLayout* grid);
  void BuildLists(QGridLayout* grid);
  QWidget* BuildSystemGroup();
  QWidget* BuildLineGroup();
  QWidget* BuildLimitGroup();
  QWidget* BuildAboutProgram();
  void ApplyStyle();

  static FolderChooser DefaultFolderChooser();
  static void KeepPlaceholderReadable(QLineEdit* field);
  void Fill(const SettingsChoices& choices);
  SettingsChoices Choices() const;
  void OnSave();
  void OnChooseFolder(QLineEdit* field, const QString& title);

  DashboardOperations& ops_;
  FolderChooser choose_folder_;

  QLineEdit* file_path_ = nullptr;
  QLineEdit* bmp_path_ = nullptr;
  QLineEdit* log_path_ = nullptr;
  QToolButton* choose_file_ = nullptr;
  QToolButton* choose_bmp_ = nullptr;
  QToolButton* choose_log_ = nullptr;
  QComboBox* acquisition_ = nullptr;
  QComboBox* auto_save_ = nullptr;
  QComboBox* default_device_ = nullptr;
  QComboBox* baudrate_ = nullptr;
  QComboBox* parity_ = nullptr;
  QComboBox* databits_ = nullptr;
  QComboBox* stopbits_ = nullptr;
  ImageButton* save_ = nullptr;

  MarkedField* cost_limit_ = nullptr;
  MarkedField* energy_limit_ = nullptr;
  QRadioButton* shutdown_yes_ = nullptr;
  QRadioButton* shutdown_no_ = nullptr;
  ImageButton* limits_download_ = nullptr;
  ImageButton* limits_load_ = nullptr;

  QPlainTextEdit* description_ = nullptr;
  QListWidget* features_ = nullptr;
  AboutView* about_ = nullptr;
  PublishPanel* publish_ = nullptr;
};

}  // namespace quorvel
