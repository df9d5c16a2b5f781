#include "pages/settings_page.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>

#include "pages/publish_panel.h"
#include "widgets/marked_field.h"

namespace quorvel {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Where the field points when that folder exists, else the working folder.
QString StartFolder(const QString& field_text) {
  const std::filesystem::path start =
      FolderChooserStart(QDir::fromNativeSeparators(field_text).toStdString(), QDir::currentPath().toStdString());
  return QString::fromStdString(start.string());
}

}  // namespace

void SettingsPage::Entering() {
  Fill(ChoicesFromSettings(ops_.CurrentSettings()));
  publish_->Entering();
}

void SettingsPage::Fill(const SettingsChoices& c) {
  default_device_->setCurrentIndex(c.default_device);
  baudrate_->setCurrentIndex(c.baudrate);
  parity_->setCurrentIndex(c.parity);
  databits_->setCurrentIndex(c.databits);
  stopbits_->setCurrentIndex(c.stopbits);
  acquisition_->setCurrentIndex(c.acquisition);
  auto_save_->setCurrentIndex(c.auto_save);
  file_path_->setText(Text(c.file));
  bmp_path_->setText(Text(c.bmp));
  log_path_->setText(Text(c.log));
}

SettingsChoices SettingsPage::Choices() const {
  return SettingsChoices{default_device_->currentIndex(), baudrate_->currentIndex(),
                         parity_->currentIndex(),         databits_->currentIndex(),
                         stopbits_->currentIndex(),       acquisition_->currentIndex(),
                         auto_save_->currentIndex(),      file_path_->text().toStdString(),
                         bmp_path_->text().toStdString(), log_path_->text().toStdString()};
}

void SettingsPage::OnSave() {
  // Takes effect at once; the engine tells when the file cannot be written.
  ops_.StoreSettings(SettingsFromChoices(Choices()));
  // The folders as stored, each ready to take a file name.
  Fill(ChoicesFromSettings(ops_.CurrentSettings()));
}

void SettingsPage::OnChooseFolder(QLineEdit* field, const QString& title) {
  const QString chosen = choose_folder_(this, title, StartFolder(field->text()));
  if (!chosen.isEmpty()) field->setText(QDir::toNativeSeparators(chosen));
}

void SettingsPage::ShowLimits(const LimitTexts& texts) {
  energy_limit_->setText(Text(texts.energy_limit));
  cost_limit_->setText(Text(texts.cost_limit));
  (texts.shutdown ? shutdown_yes_ : shutdown_no_)->setChecked(true);
}

std::optional<LimitValues> SettingsPage::LimitRequest() {
  const LimitCheck check = CheckLimitFields(
      {energy_limit_->text().toStdString(), cost_limit_->text().toStdString(), shutdown_no_->isChecked()});
  energy_limit_->SetMarked(check.energy_refused);
  cost_limit_->SetMarked(check.cost_refused);
  return check.values;
}

bool SettingsPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::PaletteChange) KeepPlaceholderReadable(qobject_cast<QLineEdit*>(watched));
  if (event->type() != QEvent::KeyPress) return false;
  const auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != window()) return false;  // a list's open drop-down keeps its keys
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

// The style sheet gives a field's placeholder its text colour at half
// strength, 3:1 on the light field; this one reads at 5.4:1.
void SettingsPage::KeepPlaceholderReadable(QLineEdit* field) {
  static const QColor kPlaceholder(0x4F, 0x6B, 0x73);
  if (field == nullptr || field->placeholderText().isEmpty()) return;
  if (field->palette().color(QPalette::PlaceholderText) == kPlaceholder) return;
  QPalette palette = field->palette();
  palette.setColor(QPalette::PlaceholderText, kPlaceholder);
  field->setPalette(palette);
}

SettingsPage::FolderChooser SettingsPage::DefaultFolderChooser() {
  return [](QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
  };
}

}  // namespace quorvel
