// Text contrast as a reader meets it: a window is rendered, every place it
// draws text is found (labels, buttons, fields, lists, group titles, tabs,
// the lines of text documents), and in each the text's colour is measured
// against what lies behind it, by the WCAG formula.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextLayout>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace quorvel::testing {

inline double RelativeLuminance(QRgb c) {
  const auto channel = [](int value) {
    const double v = value / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

inline double ContrastRatio(QRgb a, QRgb b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of the text drawn in `area` of `shot`. The commonest colour
// there is what lies behind the text; the text's colour is the one, drawn
// in at least a few pixels (a glyph's solid core, not its softened edge),
// that stands out most from it. No such colour: the text is invisible (1).
inline double TextContrast(const QImage& shot, const QRect& area) {
  constexpr int kCorePixels = 4;
  const QRect inside = area.intersected(shot.rect());
  std::map<QRgb, int> counts;
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) ++counts[shot.pixel(x, y) | 0xFF000000U];
  }
  if (counts.empty()) return 1.0;
  const QRgb behind = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                        return a.second < b.second;
                      })->first;
  double best = 1.0;
  for (const auto& [colour, count] : counts) {
    if (count >= kCorePixels) best = std::max(best, ContrastRatio(colour, behind));
  }
  return best;
}

// Each line of text of a text document shown in `edit`, in its viewport's
// coordinates; a block holding nothing but an image is no text.
template <typename Edit, typename Add>
void AddDocumentLines(Edit& edit, Add add) {
  for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
    if (block.text().remove(QChar::ObjectReplacementCharacter).trimmed().isEmpty() || block.layout() == nullptr) {
      continue;
    }
    for (int i = 0; i < block.layout()->lineCount(); ++i) {
      const QTextLine line = block.layout()->lineAt(i);
      QTextCursor start(block);
      start.setPosition(block.position() + line.textStart());
      const QRect caret = edit.cursorRect(start);
      const int width = static_cast<int>(std::ceil(line.naturalTextWidth()));
      add(QStringLiteral(" ") + block.text().mid(line.textStart(), line.textLength()),
          QRect(caret.left(), caret.top(), width + 2, caret.height()));
    }
  }
}

struct TextArea {
  QString what;
  QRect area;  // in the coordinates of the window rendered
};

// Where the visible widgets under `top` draw text, in `top`'s coordinates.
inline std::vector<TextArea> TextAreas(QWidget& top) {
  std::vector<TextArea> areas;
  const auto add = [&](QWidget* w, const QString& what, const QRect& local) {
    const QRect clipped = local.intersected(w->visibleRegion().boundingRect());
    if (clipped.width() > 2 && clipped.height() > 2) {
      areas.push_back({what, QRect(w->mapTo(&top, clipped.topLeft()), clipped.size())});
    }
  };
  for (QWidget* w : top.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&top) || w->window() != top.window()) continue;
    const QString who = QStringLiteral("%1 \"%2\"")
                            .arg(QString::fromLatin1(w->metaObject()->className()),
                                 w->accessibleName().isEmpty() ? w->objectName() : w->accessibleName());
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (!label->text().trimmed().isEmpty()) add(w, who + QStringLiteral(" ") + label->text(), label->contentsRect());
    } else if (auto* field = qobject_cast<QLineEdit*>(w)) {
      if (!field->text().isEmpty() || !field->placeholderText().isEmpty())
        add(w, who, field->rect().adjusted(4, 4, -4, -4));
    } else if (auto* box = qobject_cast<QComboBox*>(w)) {
      QStyleOptionComboBox option;
      option.initFrom(box);
      const QRect text = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
      if (!box->currentText().isEmpty()) add(w, who + QStringLiteral(" ") + box->currentText(), text);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
      QStyleOptionGroupBox option;
      option.initFrom(group);
      option.text = group->title();
      option.subControls = QStyle::SC_GroupBoxLabel;
      const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
      if (!group->title().isEmpty()) add(w, who + QStringLiteral(" ") + group->title(), title);
    } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
      for (int i = 0; i < tabs->count(); ++i)
        add(w, who + QStringLiteral(" ") + tabs->tabText(i), tabs->tabRect(i).adjusted(3, 3, -3, -3));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      if (button->text().trimmed().isEmpty()) continue;
      QRect text = button->rect().adjusted(3, 3, -3, -3);
      QStyleOptionButton option;
      option.initFrom(button);
      if (qobject_cast<QCheckBox*>(w))
        text = button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
      if (qobject_cast<QRadioButton*>(w))
        text = button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button);
      add(w, who + QStringLiteral(" ") + button->text(), text);
    } else if (auto* bar = qobject_cast<QProgressBar*>(w)) {
      if (bar->isTextVisible()) add(w, who + QStringLiteral(" ") + bar->text(), bar->rect().adjusted(2, 2, -2, -2));
    } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
      QAbstractItemModel* model = view->model();
      for (int row = 0; model != nullptr && row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0, view->rootIndex());
        const QRect item = view->visualRect(index).intersected(view->viewport()->rect());
        if (item.isEmpty() || model->data(index).toString().trimmed().isEmpty()) continue;
        add(view->viewport(), who + QStringLiteral(" ") + model->data(index).toString(), item);
      }
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
      AddDocumentLines(*plain, [&](const QString& line, const QRect& at) { add(plain->viewport(), who + line, at); });
    } else if (auto* rich = qobject_cast<QTextEdit*>(w)) {
      AddDocumentLines(*rich, [&](const QString& line, const QRect& at) { add(rich->viewport(), who + line, at); });
    }
  }
  return areas;
}

struct Unreadable {
  QString what;
  double contrast = 0.0;
};

// Every text under `top` that reads at less than `at_least` : 1, as rendered now.
inline std::vector<Unreadable> UnreadableTexts(QWidget& top, double at_least = 4.5) {
  const QImage shot = top.grab().toImage().convertToFormat(QImage::Format_RGB32);
  std::vector<Unreadable> unreadable;
  for (const TextArea& text : TextAreas(top)) {
    const double contrast = TextContrast(shot, text.area);
    if (contrast < at_least) unreadable.push_back({text.what, contrast});
  }
  return unreadable;
}

}  // namespace quorvel::testing
