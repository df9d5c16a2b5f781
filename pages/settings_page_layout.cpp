// The settings page's controls and where they sit. Everything fits the
// page area of the main window: the settings on the left, the limits and
// the program's description, features and About view on the right; a
// scroll area keeps every control in reach should a larger font need more.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "pages/about_view.h"
#include "pages/program_texts.h"
#include "pages/publish_panel.h"
#include "pages/settings_page.h"
#include "resources/artwork.h"
#include "widgets/image_button.h"
#include "widgets/marked_field.h"
#include "widgets/rule_validator.h"
#include "widgets/tooltip_style.h"

namespace quorvel {
namespace {

constexpr int kTipPointSize = 11;

ImageButton* Button(const QString& image, const QString& tip, QWidget* parent) {
  auto* button = new ImageButton(image, tip, {48, 48}, {56, 56}, parent);
  StyleTooltip(button, kPageTipColour, kTipPointSize);
  return button;
}

template <typename Entries>
QComboBox* List(const Entries& entries, const QString& name, QWidget* parent) {
  auto* list = new QComboBox(parent);
  for (const auto& entry : entries) {
    const std::string_view text(entry);
    list->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }
  list->setAccessibleName(name);
  return list;
}

QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

MarkedField* LimitField(const QString& name, QWidget* parent) {
  auto* field = new MarkedField(QString(), parent);
  field->setAccessibleName(name);
  field->setMaxLength(kLimitFieldLength);
  field->setAlignment(Qt::AlignCenter);
  field->setFixedWidth(80);
  // Digits only, at most four: typed, pasted or dropped.
  field->setValidator(new RuleValidator(LimitTextAccepted, field));
  return field;
}

}  // namespace

SettingsPage::SettingsPage(DashboardOperations& operations, QWidget* parent)
    : PageWidget(parent), ops_(operations), choose_folder_(DefaultFolderChooser()) {
  setObjectName(QStringLiteral("SettingsPage"));
  ApplyStyle();

  save_ = Button(QStringLiteral("save-ini"), QStringLiteral("Save To INI"), this);
  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("settingsContent"));
  auto* columns = new QHBoxLayout(content);
  columns->setContentsMargins(14, 8, 14, 10);
  columns->setSpacing(14);
  auto* left = new QVBoxLayout;
  left->setSpacing(10);
  left->addWidget(BuildSystemGroup());
  left->addWidget(BuildLineGroup());
  // Stores both groups.
  auto* save_row = new QHBoxLayout;
  save_row->addStretch(1);
  save_row->addWidget(save_);
  left->addLayout(save_row);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(BuildLimitGroup());
  right->addWidget(BuildAboutProgram(), 1);
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);

  auto* scroll = new QScrollArea(this);
  scroll->setWidget(content);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setFocusPolicy(Qt::NoFocus);  // its controls take the focus, and it scrolls them into view
  scroll->viewport()->setAutoFillBackground(false);
  content->setAutoFillBackground(false);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(0, 0, 0, 0);
  page->addWidget(scroll);

  connect(save_, &ImageButton::clicked, this, &SettingsPage::OnSave);
  connect(choose_file_, &QToolButton::clicked, this,
          [this] { OnChooseFolder(file_path_, QStringLiteral("Please select file path")); });
  connect(choose_bmp_, &QToolButton::clicked, this,
          [this] { OnChooseFolder(bmp_path_, QStringLiteral("Please select BMP path")); });
  connect(choose_log_, &QToolButton::clicked, this,
          [this] { OnChooseFolder(log_path_, QStringLiteral("Please select Log path")); });
  // Checked now, and again when the tick builds the request.
  connect(limits_download_, &ImageButton::clicked, this, [this] {
    if (LimitRequest()) ops_.RequestLimitsWrite();
  });
  connect(limits_load_, &ImageButton::clicked, this, [this] { ops_.RequestLimitsRead(); });
  // Enter and Escape never reach a control; a style sheet that gives a
  // field its palette again keeps its placeholder readable.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  for (QLineEdit* field : findChildren<QLineEdit*>()) {
    field->ensurePolished();
    KeepPlaceholderReadable(field);
  }
}

QWidget* SettingsPage::BuildSystemGroup() {
  auto* group = new QGroupBox(QStringLiteral("System Set"), this);
  auto* grid = new QGridLayout(group);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(10);
  BuildFolders(grid);
  BuildLists(grid);
  return group;
}

void SettingsPage::BuildFolders(QGridLayout* grid) {
  const struct {
    const char* caption;
    const char* chooser;
    QLineEdit** field;
    QToolButton** button;
  } rows[] = {{"File Path", "Choose file path", &file_path_, &choose_file_},
              {"BMP Path", "Choose BMP path", &bmp_path_, &choose_bmp_},
              {"Log Path", "Choose log path", &log_path_, &choose_log_}};
  int r = 0;
  for (const auto& row : rows) {
    *row.field = new QLineEdit(this);
    (*row.field)->setAccessibleName(QString::fromUtf8(row.caption));
    (*row.field)->setPlaceholderText(QStringLiteral("the working folder"));
    *row.button = new QToolButton(this);
    (*row.button)->setIcon(ArtIcon(u"folder-choose"));
    (*row.button)->setIconSize({32, 32});
    (*row.button)->setToolTip(QString::fromUtf8(row.chooser));
    (*row.button)->setAccessibleName(QString::fromUtf8(row.chooser));
    StyleTooltip(*row.button, kPageTipColour, kTipPointSize);
    grid->addWidget(Caption(QString::fromUtf8(row.caption), *row.field, this), r, 0);
    grid->addWidget(*row.field, r, 1, 1, 3);
    grid->addWidget(*row.button, r, 4);
    ++r;
  }
}

void SettingsPage::BuildLists(QGridLayout* grid) {
  acquisition_ = List(kAcquisitionEntries, QStringLiteral("Acquisition Frequency"), this);
  auto_save_ = List(kAutoSaveEntries, QStringLiteral("Auto Save Data"), this);
  default_device_ = List(DefaultDeviceEntries(), QStringLiteral("Default Device"), this);
  const struct {
    const char* caption;
    QComboBox* list;
  } rows[] = {
      {"Acquisition Frequency", acquisition_}, {"Auto Save Data", auto_save_}, {"Default Device", default_device_}};
  int r = 3;
  for (const auto& row : rows) {
    grid->addWidget(Caption(QString::fromUtf8(row.caption), row.list, this), r, 0, 1, 2);
    grid->addWidget(row.list, r, 2);
    ++r;
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
}

QWidget* SettingsPage::BuildLineGroup() {
  auto* group = new QGroupBox(QStringLiteral("Serial line"), this);
  auto* grid = new QGridLayout(group);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(10);
  baudrate_ = List(kBaudrateEntries, QStringLiteral("COMM Baudrate"), this);
  parity_ = List(kParityEntries, QStringLiteral("COMM Parity"), this);
  databits_ = List(kDatabitsEntries, QStringLiteral("COMM Databits"), this);
  stopbits_ = List(kStopbitsEntries, QStringLiteral("COMM Stopbits"), this);
  const struct {
    const char* caption;
    QComboBox* list;
    int row;
    int column;
  } lists[] = {{"COMM Baudrate", baudrate_, 0, 0},
               {"COMM Parity", parity_, 0, 2},
               {"COMM Databits", databits_, 1, 0},
               {"COMM Stopbits", stopbits_, 1, 2}};
  for (const auto& l : lists) {
    grid->addWidget(Caption(QString::fromUtf8(l.caption), l.list, this), l.row, l.column);
    grid->addWidget(l.list, l.row, l.column + 1);
  }
  auto* note =
      new QLabel(QStringLiteral("A meter's port opens at the COMM Baudrate chosen here, with no parity, 8 data "
                                "bits and 1 stop bit. Parity, data bits and stop bits are kept in the "
                                "settings file only."),
                 this);
  note->setObjectName(QStringLiteral("note"));
  note->setWordWrap(true);
  note->setAccessibleName(QStringLiteral("Serial line note"));
  grid->addWidget(note, 2, 0, 1, 4);
  return group;
}

QWidget* SettingsPage::BuildLimitGroup() {
  auto* group = new QGroupBox(QStringLiteral("Limit Setting"), this);
  auto* grid = new QGridLayout(group);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(10);
  cost_limit_ = LimitField(QStringLiteral("Cost limit"), this);
  energy_limit_ = LimitField(QStringLiteral("Energy limit"), this);
  auto* limits = new QHBoxLayout;
  limits->setSpacing(8);
  limits->addWidget(new QLabel(QStringLiteral("Limit"), this));
  limits->addWidget(Caption(QStringLiteral("$"), cost_limit_, this));
  limits->addWidget(cost_limit_);
  limits->addWidget(new QLabel(QStringLiteral("OR"), this));
  limits->addWidget(energy_limit_);
  limits->addWidget(Caption(QStringLiteral("kWh"), energy_limit_, this));
  limits->addStretch(1);
  grid->addLayout(limits, 0, 0);

  shutdown_yes_ = new QRadioButton(QStringLiteral("YES"), this);
  shutdown_yes_->setAccessibleName(QStringLiteral("Shut down device YES"));
  shutdown_no_ = new QRadioButton(QStringLiteral("NO"), this);
  shutdown_no_->setAccessibleName(QStringLiteral("Shut down device NO"));
  shutdown_no_->setChecked(true);
  auto* shutdown = new QHBoxLayout;
  shutdown->setSpacing(14);
  shutdown->addWidget(new QLabel(QStringLiteral("Shut down device"), this));
  shutdown->addWidget(shutdown_yes_);
  shutdown->addWidget(shutdown_no_);
  shutdown->addStretch(1);
  grid->addLayout(shutdown, 1, 0);

  limits_download_ = Button(QStringLiteral("limits-download"), QStringLiteral("Limit Data Download"), this);
  limits_load_ = Button(QStringLiteral("limits-load"), QStringLiteral("Load Limit Data"), this);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(limits_download_);
  buttons->addWidget(limits_load_);
  grid->addLayout(buttons, 0, 1, 2, 1);
  return group;
}

QWidget* SettingsPage::BuildAboutProgram() {
  auto* tabs = new QTabWidget(this);
  description_ = new QPlainTextEdit(QString::fromStdString(ProgramDescription()), this);
  description_->setAccessibleName(QStringLiteral("Description"));
  description_->setReadOnly(true);
  description_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  description_->setObjectName(QStringLiteral("small"));
  features_ = new QListWidget(this);
  for (const std::string_view line : FeatureLines()) {
    features_->addItem(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
  }
  features_->setAccessibleName(QStringLiteral("Features"));
  features_->setWordWrap(true);
  features_->setObjectName(QStringLiteral("small"));
  about_ = new AboutView(this);
  // Publishing has its place here, so that no control of the page moves;
  // it scrolls should a larger font need more room than the tab has.
  publish_ = new PublishPanel;
  auto* publish_scroll = new QScrollArea(this);
  publish_scroll->setWidget(publish_);
  publish_scroll->setWidgetResizable(true);
  publish_scroll->setFrameShape(QFrame::NoFrame);
  publish_scroll->setFocusPolicy(Qt::NoFocus);
  publish_scroll->setObjectName(QStringLiteral("publishScroll"));
  publish_scroll->viewport()->setAutoFillBackground(false);
  publish_->setAutoFillBackground(false);
  tabs->addTab(description_, QStringLiteral("Description"));
  tabs->addTab(features_, QStringLiteral("Features"));
  tabs->addTab(about_, QStringLiteral("About"));
  tabs->addTab(publish_scroll, QStringLiteral("Publish"));
  tabs->setAccessibleName(QStringLiteral("About and publishing"));
  tabs->tabBar()->setAccessibleName(QStringLiteral("About and publishing"));
  return tabs;
}

void SettingsPage::ApplyStyle() {
  setStyleSheet(QStringLiteral(R"(
    QWidget { font-size: 13pt; }
    QScrollArea, QWidget#settingsContent, QWidget#publishPanel { background: transparent; }
    QLabel { color: #E8F3F1; background: transparent; }
    QLabel#note { color: #B9D3D0; font-size: 10pt; }
    QGroupBox { color: #ECFA42; border: 1px solid rgba(46, 196, 182, 140); border-radius: 8px; margin-top: 16px;
                padding-top: 6px; }
    QGroupBox::title { subcontrol-origin: margin; left: 12px; padding: 0 4px; }
    QLineEdit { background: #F4FAF9; color: #0F2C38; border: 1px solid #2EC4B6; border-radius: 4px; padding: 1px 4px; }
    QComboBox { background: #F4FAF9; color: #0F2C38; border: 1px solid #2EC4B6; border-radius: 4px; padding: 1px 6px; }
    QComboBox QAbstractItemView { background: #F4FAF9; color: #0F2C38; selection-background-color: #2EC4B6; }
    QRadioButton { color: #E8F3F1; spacing: 6px; }
    QRadioButton::indicator { width: 12px; height: 12px; border-radius: 8px; border: 2px solid #E8F3F1; }
    QRadioButton::indicator:checked { background: #ECFA42; border-color: #ECFA42; }
    QRadioButton:checked { color: #ECFA42; }
    QToolButton { background: #245A6C; border: 1px solid #2EC4B6; border-radius: 4px; }
    QToolButton:hover { background: #2E6E80; }
    QToolButton:pressed { background: #2EC4B6; }
    QTextBrowser#AboutView { font-size: 10pt; color: #E8F3F1; background: #0F2C38; }
    QPlainTextEdit#small, QListWidget#small { font-size: 10pt; background: #0B2430; color: #E8F3F1;
                                              border: 1px solid #2EC4B6; }
    QTabWidget::pane { border: 1px solid #2EC4B6; border-radius: 4px; }
    QTabBar::tab { background: #245A6C; color: #E8F3F1; padding: 4px 12px; font-size: 11pt;
                   border: 1px solid #2EC4B6; border-bottom: none; border-top-left-radius: 4px;
                   border-top-right-radius: 4px; }
    QTabBar::tab:selected { background: #2EC4B6; color: #0F2C38; }
  )"));
}

}  // namespace quorvel
