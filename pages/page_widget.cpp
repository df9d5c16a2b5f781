#include "pages/page_widget.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quorvel {

PlaceholderPage::PlaceholderPage(const QString& heading, QWidget* parent) : PageWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(heading, this);
  title->setStyleSheet(QStringLiteral("color: #ECFA42; font-size: 20pt;"));
  auto* note = new QLabel(tr("This page comes with a later version of the dashboard."), this);
  note->setStyleSheet(QStringLiteral("color: #E8F3F1; font-size: 13pt;"));
  for (QLabel* label : {title, note}) {
    label->setAlignment(Qt::AlignCenter);
    label->setAccessibleName(label->text());
  }
  layout->addStretch(1);
  layout->addWidget(title);
  layout->addWidget(note);
  layout->addStretch(1);
}

}  // namespace quorvel
