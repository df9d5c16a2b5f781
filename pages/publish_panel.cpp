#include "pages/publish_panel.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

#include "resources/artwork.h"
#include "widgets/marked_field.h"
#include "widgets/rule_validator.h"
#include "widgets/tooltip_style.h"

namespace quorvel {
namespace {

constexpr int kTipPointSize = 11;

QString Text(const std::string& text) { return QString::fromStdString(text); }
std::string Std(const QString& text) { return text.toStdString(); }
QString Caption(PublishField field) {
  const std::string_view caption = PublishFieldCaption(field);
  return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

QLabel* CaptionFor(QWidget* buddy, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

}  // namespace

PublishPanel::PublishPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("publishPanel"));
  choose_file_ = [](QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getOpenFileName(owner, title, start);
  };
  Build();
}

void PublishPanel::Build() {
  // The page's colours; a smaller type, as in the tab's neighbours.
  setStyleSheet(QStringLiteral(R"(
    QWidget { font-size: 10pt; }
    QLabel#publishState { color: #E8F3F1; font-weight: bold; }
    QLabel#publishReasons { color: #FFD0C8; }
    QCheckBox { color: #E8F3F1; spacing: 8px; }
    QCheckBox::indicator { width: 20px; height: 20px; }
    QCheckBox::indicator:unchecked { image: url(%1); }
    QCheckBox::indicator:checked { image: url(%2); }
    QPushButton { color: #E8F3F1; background: #245A6C; border: 1px solid #2EC4B6; border-radius: 4px; padding: 4px 14px; }
    QPushButton:hover, QPushButton:focus { background: #2E6E80; border-color: #ECFA42; }
    QPushButton:pressed { background: #2EC4B6; color: #0F2C38; }
    QToolButton { padding: 0; }
  )")
                    .arg(ArtPath(u"check-off"), ArtPath(u"check-on")));
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(8, 6, 8, 6);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  grid->setColumnStretch(1, 1);

  // Widgets are made in reading order, which is the order Tab takes them in.
  enabled_ = new QCheckBox(QStringLiteral("Publish readings to an MQTT broker"), this);
  enabled_->setAccessibleName(enabled_->text());
  grid->addWidget(enabled_, 0, 0, 1, 5);
  state_ = new QLabel(this);
  state_->setObjectName(QStringLiteral("publishState"));
  state_->setWordWrap(true);
  state_->setTextInteractionFlags(Qt::NoTextInteraction);
  grid->addWidget(state_, 1, 0, 1, 5);

  MarkedField* host = AddField(PublishField::kHost, QStringLiteral("Broker"));
  host->setPlaceholderText(QStringLiteral("host name or address"));
  MarkedField* port = AddField(PublishField::kPort, QStringLiteral("Port"));
  port->setMaxLength(kPortFieldLength);
  port->setFixedWidth(70);
  port->setValidator(new RuleValidator(PortTextAccepted, port));  // digits, typed, pasted or dropped
  port->setPlaceholderText(QString::number(kMqttPort));
  grid->addWidget(CaptionFor(host, Caption(PublishField::kHost), this), 2, 0);
  grid->addWidget(host, 2, 1);
  grid->addWidget(CaptionFor(port, Caption(PublishField::kPort), this), 2, 2);
  grid->addWidget(port, 2, 3, 1, 2, Qt::AlignLeft);

  MarkedField* prefix = AddField(PublishField::kPrefix, QStringLiteral("Topic prefix"));
  prefix->setPlaceholderText(Text(PublishSettings{}.Prefix));
  grid->addWidget(CaptionFor(prefix, Caption(PublishField::kPrefix), this), 3, 0);
  grid->addWidget(prefix, 3, 1, 1, 4);

  discovery_ = new QCheckBox(QStringLiteral("Home Assistant discovery"), this);
  discovery_->setAccessibleName(discovery_->text());
  MarkedField* discovery_prefix = AddField(PublishField::kDiscoveryPrefix, QStringLiteral("Discovery prefix"));
  discovery_prefix->setPlaceholderText(Text(PublishSettings{}.DiscoveryPrefix));
  grid->addWidget(discovery_, 4, 0, 1, 2);
  grid->addWidget(CaptionFor(discovery_prefix, QStringLiteral("Prefix"), this), 4, 2);
  grid->addWidget(discovery_prefix, 4, 3, 1, 2);

  MarkedField* client_id = AddField(PublishField::kClientId, QStringLiteral("Client id"));
  client_id->setPlaceholderText(QStringLiteral("this computer's"));  // the window names it
  MarkedField* user = AddField(PublishField::kUser, QStringLiteral("User"));
  user->setPlaceholderText(QStringLiteral("none"));
  // The right-hand fields keep to their size; the host and client id take the rest.
  user->setFixedWidth(120);
  discovery_prefix->setFixedWidth(120);
  grid->addWidget(CaptionFor(client_id, Caption(PublishField::kClientId), this), 5, 0);
  grid->addWidget(client_id, 5, 1);
  grid->addWidget(CaptionFor(user, Caption(PublishField::kUser), this), 5, 2);
  grid->addWidget(user, 5, 3, 1, 2);

  const struct {
    PublishField field;
    const char* placeholder;
    const char* chooser;
  } files[] = {{PublishField::kPasswordFile, "none", "Choose password file"},
               {PublishField::kCaFile, "none: no TLS", "Choose CA file"},
               {PublishField::kCertFile, "none", "Choose client certificate"},
               {PublishField::kKeyFile, "none", "Choose client key"}};
  int row = 6;
  for (const auto& f : files) {
    MarkedField* field = AddField(f.field, Caption(f.field));
    field->setPlaceholderText(QString::fromUtf8(f.placeholder));
    QToolButton* chooser = AddChooser(f.field, QString::fromUtf8(f.chooser));
    grid->addWidget(CaptionFor(field, Caption(f.field), this), row, 0);
    grid->addWidget(field, row, 1, 1, 3);
    grid->addWidget(chooser, row, 4);
    ++row;
  }

  save_ = new QPushButton(QStringLiteral("Save and apply"), this);
  save_->setAccessibleName(save_->text());
  save_->setToolTip(QStringLiteral("Store these settings and publish with them"));
  StyleTooltip(save_, kPageTipColour, kTipPointSize);
  grid->addWidget(save_, row++, 0, 1, 5, Qt::AlignRight);
  reasons_ = new QLabel(this);
  reasons_->setObjectName(QStringLiteral("publishReasons"));
  reasons_->setWordWrap(true);
  reasons_->hide();
  grid->addWidget(reasons_, row++, 0, 1, 5);
  grid->setRowStretch(row, 1);

  // TLS takes its own usual port.
  for (const PublishField tls : {PublishField::kCaFile, PublishField::kCertFile}) {
    connect(Field(tls), &QLineEdit::textChanged, this, [this] {
      const bool with_tls =
          !Field(PublishField::kCaFile)->text().isEmpty() || !Field(PublishField::kCertFile)->text().isEmpty();
      Field(PublishField::kPort)->setPlaceholderText(QString::number(with_tls ? kMqttTlsPort : kMqttPort));
    });
  }
  // A switch decides which fields are needed: marks already shown follow it.
  // (toggled, not clicked: a screen reader's Toggle action emits only that.)
  for (QCheckBox* box : {enabled_, discovery_}) {
    connect(box, &QCheckBox::toggled, this, [this] {
      if (checked_once_) ShowCheck(CheckPublishFields(Fields()));
    });
  }
  connect(save_, &QPushButton::clicked, this, &PublishPanel::OnSave);
}

MarkedField* PublishPanel::AddField(PublishField field, const QString& name) {
  auto* edit = new MarkedField(QString(), this);
  edit->setAccessibleName(name);
  fields_[static_cast<std::size_t>(field)] = edit;
  return edit;
}

QToolButton* PublishPanel::AddChooser(PublishField field, const QString& name) {
  auto* button = new QToolButton(this);
  button->setIcon(ArtIcon(u"folder-choose"));
  button->setIconSize({24, 24});
  button->setToolTip(name);
  button->setAccessibleName(name);
  StyleTooltip(button, kPageTipColour, kTipPointSize);
  choosers_[static_cast<std::size_t>(field)] = button;
  connect(button, &QToolButton::clicked, this, [this, field, name] { OnChoose(field, name); });
  return button;
}

void PublishPanel::Fill(const PublishSettings& settings) {
  const PublishFields f = FieldsFromPublishSettings(settings);
  enabled_->setChecked(f.enabled);
  discovery_->setChecked(f.discovery);
  const std::pair<PublishField, const std::string&> texts[] = {{PublishField::kHost, f.host},
                                                               {PublishField::kPort, f.port},
                                                               {PublishField::kPrefix, f.prefix},
                                                               {PublishField::kDiscoveryPrefix, f.discovery_prefix},
                                                               {PublishField::kClientId, f.client_id},
                                                               {PublishField::kUser, f.user},
                                                               {PublishField::kPasswordFile, f.password_file},
                                                               {PublishField::kCaFile, f.ca_file},
                                                               {PublishField::kCertFile, f.cert_file},
                                                               {PublishField::kKeyFile, f.key_file}};
  for (const auto& [field, text] : texts) Field(field)->setText(Text(text));
  checked_once_ = false;
  ShowCheck(PublishCheck{});
}

void PublishPanel::Entering() {
  if (source_) Fill(source_());
}

PublishFields PublishPanel::Fields() const {
  PublishFields f;
  f.enabled = enabled_->isChecked();
  f.discovery = discovery_->isChecked();
  f.host = Std(Field(PublishField::kHost)->text());
  f.port = Std(Field(PublishField::kPort)->text());
  f.prefix = Std(Field(PublishField::kPrefix)->text());
  f.discovery_prefix = Std(Field(PublishField::kDiscoveryPrefix)->text());
  f.client_id = Std(Field(PublishField::kClientId)->text());
  f.user = Std(Field(PublishField::kUser)->text());
  f.password_file = Std(Field(PublishField::kPasswordFile)->text());
  f.ca_file = Std(Field(PublishField::kCaFile)->text());
  f.cert_file = Std(Field(PublishField::kCertFile)->text());
  f.key_file = Std(Field(PublishField::kKeyFile)->text());
  return f;
}

std::optional<PublishSettings> PublishPanel::Request() {
  PublishCheck check = CheckPublishFields(Fields());
  checked_once_ = true;
  ShowCheck(check);
  return std::move(check.settings);
}

void PublishPanel::ShowCheck(const PublishCheck& check) {
  for (std::size_t i = 0; i < kPublishFieldCount; ++i) fields_[i]->SetMarked(check.refused[i]);
  QString text;
  for (const std::string& reason : check.reasons) {
    text += (text.isEmpty() ? QStringLiteral("Not saved. ") : QStringLiteral("\n")) + Text(reason) + QLatin1Char('.');
  }
  reasons_->setText(text);
  reasons_->setVisible(!text.isEmpty());
  if (text.isEmpty()) return;
  // The reasons sit under the save button: scrolled into view, once laid out.
  QTimer::singleShot(0, this, [this] {
    for (QWidget* up = parentWidget(); up != nullptr; up = up->parentWidget()) {
      if (auto* scroll = qobject_cast<QScrollArea*>(up)) {
        scroll->ensureWidgetVisible(reasons_, 0, 0);
        return;
      }
    }
  });
}

void PublishPanel::OnSave() {
  if (std::optional<PublishSettings> settings = Request()) Q_EMIT saveRequested(*settings);
}

void PublishPanel::OnChoose(PublishField field, const QString& title) {
  MarkedField* edit = Field(field);
  const std::filesystem::path start =
      FileChooserStart(Std(QDir::fromNativeSeparators(edit->text())), Std(QDir::currentPath()));
  const QString chosen = choose_file_(this, title, QString::fromStdString(start.string()));
  if (!chosen.isEmpty()) edit->setText(QDir::toNativeSeparators(chosen));
}

void PublishPanel::ShowState(const QString& text) {
  if (state_->text() != text) state_->setText(text);
}

QString PublishPanel::StateText() const { return state_->text(); }

void PublishPanel::SetClientIdPlaceholder(const QString& text) {
  Field(PublishField::kClientId)->setPlaceholderText(text);
}

void PublishPanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Q_EMIT visibilityChanged(true);
}

void PublishPanel::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  Q_EMIT visibilityChanged(false);
}

}  // namespace quorvel
