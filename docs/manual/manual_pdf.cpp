// Turns the user manual, written in Markdown, into the "user manual.pdf" that the dashboard's
// manual button opens: A4, a title page with the application icon and the contents, readable
// headings and tables, page numbers in the footer.
//
// Usage: quorvel-manual-pdf MANUAL.md OUTPUT.pdf [ICON.svg]
//
// The document is laid out at 96 dots per inch, so every length below is a CSS-like pixel
// (1/96 inch); text and lines stay vectors in the PDF.
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kDpi = 96;
constexpr double kFooterHeight = 30;
const char* const kBodyFont = "DejaVu Sans";
const char* const kMonoFont = "DejaVu Sans Mono";
const QColor kHeadingColour(0x0F, 0x5F, 0x58);
const QColor kTitleColour(0x12, 0x31, 0x3F);
const QColor kRuleColour(0x2E, 0xC4, 0xB6);
const QColor kCodeBackground(0xEC, 0xF3, 0xF2);
const QColor kTableHeader(0xDA, 0xEE, 0xEB);
const QColor kTableBorder(0x9F, 0xB9, 0xBC);
const QColor kFooterColour(0x5B, 0x74, 0x7A);

struct Heading {
  QString text;
  int page = 0;  // 1-based
  bool operator==(const Heading&) const = default;
};

void SelectBlock(QTextCursor& cursor, const QTextBlock& block) {
  cursor.setPosition(block.position());
  cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
}

void StyleHeading(QTextCursor& cursor, const QTextBlock& block, int level) {
  QTextBlockFormat format = block.blockFormat();
  format.setTopMargin(level <= 2 ? 22 : 12);
  format.setBottomMargin(level <= 2 ? 8 : 4);
  cursor.setPosition(block.position());
  cursor.setBlockFormat(format);

  QTextCharFormat chars;
  chars.setFontFamilies({kBodyFont});
  chars.setFontPointSize(level == 1 ? 28 : level == 2 ? 16 : 12.5);
  chars.setFontWeight(QFont::Bold);
  chars.setForeground(level == 1 ? kTitleColour : kHeadingColour);
  SelectBlock(cursor, block);
  cursor.mergeCharFormat(chars);
}

// Code blocks in a tinted box, code in the text on a tint; both in a monospaced face.
bool IsCodeBlock(const QTextBlock& block) {
  const QTextBlockFormat format = block.blockFormat();
  return format.hasProperty(QTextFormat::BlockCodeFence) || format.nonBreakableLines();
}

void StyleCode(QTextCursor& cursor, const QTextBlock& block) {
  const bool code_block = IsCodeBlock(block);
  for (auto it = block.begin(); !it.atEnd(); ++it) {
    const QTextFragment fragment = it.fragment();
    if (!code_block && !fragment.charFormat().fontFixedPitch()) continue;
    QTextCharFormat chars;
    chars.setFontFamilies({kMonoFont});
    chars.setFontPointSize(9);
    if (!code_block) chars.setBackground(kCodeBackground);
    cursor.setPosition(fragment.position());
    cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(chars);
  }
}

// Each run of code lines (the importer makes one block per line) goes into one tinted box.
void BoxCodeBlocks(QTextDocument& document) {
  struct Run {
    int first;
    int end;
  };
  std::vector<Run> runs;
  bool in_run = false;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    const bool code = IsCodeBlock(block) && block.blockFormat().headingLevel() == 0;
    if (code && in_run) runs.back().end = block.position() + block.length() - 1;
    if (code && !in_run) runs.push_back({block.position(), block.position() + block.length() - 1});
    in_run = code;
  }
  QTextFrameFormat box;
  box.setBackground(kCodeBackground);
  box.setPadding(6);
  box.setTopMargin(2);
  box.setBottomMargin(8);
  box.setBorder(0);
  // From the end, so that the positions of the runs still to come do not move.
  for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
    QTextCursor cursor(&document);
    cursor.setPosition(it->first);
    cursor.setPosition(it->end, QTextCursor::KeepAnchor);
    QTextBlockFormat tight;
    tight.setTopMargin(0);
    tight.setBottomMargin(0);
    tight.setLineHeight(100, QTextBlockFormat::ProportionalHeight);
    cursor.mergeBlockFormat(tight);
    cursor.insertFrame(box);
  }
}

// Tables with a tinted header row and thin rules between the rows, no vertical lines.
void StyleTables(QTextFrame* frame) {
  for (QTextFrame* child : frame->childFrames()) {
    if (auto* table = qobject_cast<QTextTable*>(child)) {
      QTextTableFormat format = table->format();
      format.setBorder(0);
      format.setBorderCollapse(true);
      format.setCellSpacing(0);
      format.setCellPadding(5);
      format.setTopMargin(4);
      format.setBottomMargin(12);
      format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
      table->setFormat(format);
      for (int row = 0; row < table->rows(); ++row) {
        for (int column = 0; column < table->columns(); ++column) {
          QTextTableCell cell = table->cellAt(row, column);
          QTextTableCellFormat cell_format = cell.format().toTableCellFormat();
          cell_format.setBottomBorder(row == 0 ? 1.5 : 0.75);
          cell_format.setBottomBorderBrush(row == 0 ? kRuleColour : kTableBorder);
          cell_format.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
          if (row == 0) {
            cell_format.setBackground(kTableHeader);
            cell_format.setFontWeight(QFont::Bold);
          }
          cell.setFormat(cell_format);
        }
      }
    }
    StyleTables(child);
  }
}

void StyleDocument(QTextDocument& document) {
  QTextCursor cursor(&document);
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    if (level > 0) {
      StyleHeading(cursor, block, level);
      continue;
    }
    QTextBlockFormat format = block.blockFormat();
    format.setLineHeight(125, QTextBlockFormat::ProportionalHeight);
    if (format.bottomMargin() < 6) format.setBottomMargin(6);
    cursor.setPosition(block.position());
    cursor.setBlockFormat(format);
    StyleCode(cursor, block);
  }
  StyleTables(document.rootFrame());
  BoxCodeBlocks(document);
}

QImage RenderIcon(const QString& path, int pixels) {
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

// Page 1: the icon, the title (the first heading), the subtitle (the paragraph after it) and,
// later, the contents. The first section starts on page 2. Returns the block after which the
// contents go.
QTextBlock MakeTitlePage(QTextDocument& document, const QImage& icon) {
  QTextCursor cursor(&document);
  QTextBlock title = document.begin();
  if (title.blockFormat().headingLevel() != 1) return {};

  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  centred.setTopMargin(icon.isNull() ? 160 : 70);
  cursor.setPosition(0);
  cursor.insertBlock(centred, QTextCharFormat());
  cursor.movePosition(QTextCursor::PreviousBlock);
  cursor.setBlockFormat(centred);
  if (!icon.isNull()) {
    document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("manual://app-icon")), icon);
    QTextImageFormat image;
    image.setName(QStringLiteral("manual://app-icon"));
    image.setWidth(150);
    image.setHeight(150);
    cursor.insertImage(image);
  }

  title = document.begin().next();
  QTextBlockFormat title_format = title.blockFormat();
  title_format.setAlignment(Qt::AlignHCenter);
  title_format.setTopMargin(28);
  cursor.setPosition(title.position());
  cursor.setBlockFormat(title_format);

  QTextBlock subtitle = title.next();
  QTextBlockFormat subtitle_format = subtitle.blockFormat();
  subtitle_format.setAlignment(Qt::AlignHCenter);
  subtitle_format.setBottomMargin(60);
  cursor.setPosition(subtitle.position());
  cursor.setBlockFormat(subtitle_format);
  QTextCharFormat subtitle_chars;
  subtitle_chars.setFontPointSize(15);
  subtitle_chars.setForeground(kHeadingColour);
  SelectBlock(cursor, subtitle);
  cursor.mergeCharFormat(subtitle_chars);

  for (QTextBlock block = subtitle.next(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() > 0) {
      QTextBlockFormat format = block.blockFormat();
      format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      cursor.setPosition(block.position());
      cursor.setBlockFormat(format);
      break;
    }
  }
  return subtitle;
}

// A copy of the document laid out afresh on pages of `body`'s size, as Qt lays a document out
// for printing. Laying out the same document again after format changes can keep stale
// positions further down, and the page numbers would be wrong.
std::unique_ptr<QTextDocument> FreshLayout(const QTextDocument& document, QPaintDevice* device, const QSizeF& body) {
  std::unique_ptr<QTextDocument> copy(document.clone());
  copy->documentLayout()->setPaintDevice(device);
  copy->setPageSize(body);
  return copy;
}

int PageOf(const QTextDocument& document, const QTextBlock& block) {
  const QRectF box = document.documentLayout()->blockBoundingRect(block);
  return static_cast<int>(std::floor(box.top() / document.pageSize().height())) + 1;
}

// The first place that needs a page break, or -1: a heading in the last lines of a page (a
// section heading needs more room below it than a subsection heading), or a short table that
// a page end would split. Such a table moves with the heading just before it, if any.
int FirstBadPageEnd(const QTextDocument& laid, double page_height) {
  const QAbstractTextDocumentLayout* layout = laid.documentLayout();
  const auto page_of = [&](double y) { return std::floor(y / page_height); };
  QTextBlock recent[2];  // the last two blocks outside tables, newest first
  for (QTextBlock block = laid.begin(); block.isValid(); block = block.next()) {
    const QTextBlockFormat format = block.blockFormat();
    QTextTable* table = QTextCursor(block).currentTable();
    if (table == nullptr) {
      recent[1] = recent[0];
      recent[0] = block;
      if (format.headingLevel() < 2 || format.pageBreakPolicy() != QTextFormat::PageBreak_Auto) continue;
      const double top = layout->blockBoundingRect(block).top();
      const double room = format.headingLevel() == 2 ? 0.22 : 0.12;
      if (page_height - (top - page_of(top) * page_height) < room * page_height) return block.position();
      continue;
    }
    if (block.position() != table->firstPosition()) continue;
    if (table->format().pageBreakPolicy() != QTextFormat::PageBreak_Auto) continue;
    const QRectF box = layout->frameBoundingRect(table);
    if (box.height() > 0.45 * page_height || page_of(box.top()) == page_of(box.bottom() - 1)) continue;
    for (const QTextBlock& before : recent) {
      if (before.isValid() && before.blockFormat().headingLevel() >= 2 &&
          page_of(layout->blockBoundingRect(before).top()) == page_of(box.top())) {
        return before.position();
      }
    }
    return table->firstPosition();
  }
  return -1;
}

void BreakPageBefore(QTextDocument& document, int position) {
  QTextCursor cursor(&document);
  cursor.setPosition(position);
  QTextTable* table = cursor.currentTable();
  if (table != nullptr && table->firstPosition() == position) {
    QTextTableFormat format = table->format();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    table->setFormat(format);
    return;
  }
  QTextBlockFormat format = cursor.blockFormat();
  format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
  cursor.setBlockFormat(format);
}

// One break at a time, since each moves everything after it.
void MendPageEnds(QTextDocument& document, QPaintDevice* device, const QSizeF& body) {
  for (int position = 0; position >= 0;) {
    position = FirstBadPageEnd(*FreshLayout(document, device, body), body.height());
    if (position >= 0) BreakPageBefore(document, position);
  }
}

QTextCharFormat ContentsEntry() {
  QTextCharFormat entry;
  entry.setFontFamilies({kBodyFont});
  entry.setFontPointSize(10.5);
  return entry;
}

std::vector<QString> SectionTitles(const QTextDocument& document) {
  std::vector<QString> titles;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() == 2) titles.push_back(block.text());
  }
  return titles;
}

// The sections with their pages, from a laid-out copy (FreshLayout).
std::vector<Heading> Sections(const QTextDocument& laid) {
  std::vector<Heading> sections;
  for (QTextBlock block = laid.begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() == 2) sections.push_back({block.text(), PageOf(laid, block)});
  }
  return sections;
}

// The contents go on the title page before the pages are final, so that the layout measured
// for them is the layout printed; the page numbers are filled in afterwards (FillContents).
QTextTable* InsertContents(QTextDocument& document, const QTextBlock& after, const std::vector<QString>& titles) {
  QTextCursor cursor(&document);
  cursor.setPosition(after.position() + after.length() - 1);
  QTextBlockFormat heading;
  heading.setLeftMargin(70);
  heading.setTopMargin(10);
  heading.setBottomMargin(6);
  QTextCharFormat heading_chars;
  heading_chars.setFontFamilies({kBodyFont});
  heading_chars.setFontPointSize(13);
  heading_chars.setFontWeight(QFont::Bold);
  heading_chars.setForeground(kHeadingColour);
  cursor.insertBlock(heading, heading_chars);
  cursor.insertText(QStringLiteral("Contents"));

  QTextTableFormat table_format;
  table_format.setBorder(0);
  table_format.setCellPadding(3);
  table_format.setCellSpacing(0);
  table_format.setLeftMargin(70);
  table_format.setRightMargin(70);
  table_format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
  table_format.setColumnWidthConstraints(
      {QTextLength(QTextLength::PercentageLength, 88), QTextLength(QTextLength::PercentageLength, 12)});
  QTextTable* table = cursor.insertTable(static_cast<int>(titles.size()), 2, table_format);
  QTextBlockFormat right;
  right.setAlignment(Qt::AlignRight);
  for (int row = 0; row < table->rows(); ++row) {
    table->cellAt(row, 0).firstCursorPosition().insertText(titles[static_cast<std::size_t>(row)], ContentsEntry());
    table->cellAt(row, 1).firstCursorPosition().setBlockFormat(right);
  }
  return table;
}

void FillContents(QTextTable* table, const std::vector<Heading>& sections) {
  for (int row = 0; row < table->rows(); ++row) {
    QTextCursor page = table->cellAt(row, 1).firstCursorPosition();
    page.setPosition(table->cellAt(row, 1).lastCursorPosition().position(), QTextCursor::KeepAnchor);
    page.insertText(QString::number(sections[static_cast<std::size_t>(row)].page), ContentsEntry());
  }
}

void DrawTitleDecoration(QPainter& painter, const QSizeF& page) {
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(kRuleColour);
  painter.drawRoundedRect(QRectF(0, 0, page.width(), 5), 2.5, 2.5);
  painter.setBrush(QColor(0xEC, 0xFA, 0x42));
  painter.drawRoundedRect(QRectF(0, 9, page.width() * 0.3, 3), 1.5, 1.5);
  painter.restore();
}

void DrawFooter(QPainter& painter, const QSizeF& body, int page, int pages) {
  painter.save();
  painter.setPen(QPen(kRuleColour, 0.75));
  painter.drawLine(QPointF(0, body.height() + 8), QPointF(body.width(), body.height() + 8));
  QFont font(kBodyFont);
  font.setPointSizeF(8);
  painter.setFont(font);
  painter.setPen(kFooterColour);
  const QRectF line(0, body.height() + 11, body.width(), kFooterHeight - 11);
  painter.drawText(line, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("QUORVEL Digital Dashboard \u00B7 User's guide"));
  painter.drawText(line, Qt::AlignRight | Qt::AlignTop, QStringLiteral("Page %1 of %2").arg(page).arg(pages));
  painter.restore();
}

bool Print(const QTextDocument& document, QPdfWriter& writer, const QSizeF& body) {
  QPainter painter;
  if (!painter.begin(&writer)) return false;
  const int pages = document.pageCount();
  for (int index = 0; index < pages; ++index) {
    if (index > 0) writer.newPage();
    if (index == 0) DrawTitleDecoration(painter, body);
    painter.save();
    const QRectF clip(0, index * body.height(), body.width(), body.height());
    painter.translate(0, -clip.top());
    painter.setClipRect(clip);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = clip;
    context.palette.setColor(QPalette::Text, QColor(0x1C, 0x2A, 0x30));
    document.documentLayout()->draw(&painter, context);
    painter.restore();
    if (index > 0) DrawFooter(painter, body, index + 1, pages);
  }
  return painter.end();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: quorvel-manual-pdf MANUAL.md OUTPUT.pdf [ICON.svg]\n");
    return 2;
  }
  QFile source(QString::fromLocal8Bit(argv[1]));
  if (!source.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "quorvel-manual-pdf: cannot read %s\n", argv[1]);
    return 1;
  }
  const QString markdown = QString::fromUtf8(source.readAll());
  if (markdown.trimmed().isEmpty()) {
    std::fprintf(stderr, "quorvel-manual-pdf: %s is empty\n", argv[1]);
    return 1;
  }

  const QString output = QString::fromLocal8Bit(argv[2]);
  QPdfWriter writer(output);
  writer.setResolution(kDpi);
  writer.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(22, 18, 22, 12), QPageLayout::Millimeter));
  writer.setTitle(QStringLiteral("QUORVEL Digital Dashboard: User's guide"));
  writer.setCreator(QStringLiteral("quorvel-manual-pdf"));
  const QRectF paint = writer.pageLayout().paintRectPixels(kDpi);
  const QSizeF body(paint.width(), paint.height() - kFooterHeight);

  QTextDocument document;
  document.documentLayout()->setPaintDevice(&writer);
  document.setUseDesignMetrics(true);
  QFont font(kBodyFont);
  font.setPointSizeF(10);
  document.setDefaultFont(font);
  document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
  document.setDocumentMargin(0);
  StyleDocument(document);
  const QImage icon = argc == 4 ? RenderIcon(QString::fromLocal8Bit(argv[3]), 600) : QImage();
  const QTextBlock subtitle = MakeTitlePage(document, icon);
  QTextTable* contents = subtitle.isValid() ? InsertContents(document, subtitle, SectionTitles(document)) : nullptr;
  MendPageEnds(document, &writer, body);
  const std::vector<Heading> sections = Sections(*FreshLayout(document, &writer, body));
  if (contents != nullptr) FillContents(contents, sections);

  const auto laid = FreshLayout(document, &writer, body);
  if (Sections(*laid) != sections) {
    std::fprintf(stderr, "quorvel-manual-pdf: the contents' page numbers moved the sections\n");
    return 1;
  }
  if (!Print(*laid, writer, body)) {
    std::fprintf(stderr, "quorvel-manual-pdf: cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("%s: %d pages\n", argv[2], laid->pageCount());
  return 0;
}
