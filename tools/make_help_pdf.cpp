// SPDX-License-Identifier: GPL-3.0-or-later
// make_help_pdf: lays the help document's HTML out on A4 pages and writes the PDF that the help
// button opens.
//
//   make_help_pdf <help.html> <Nimbrel_help.pdf>
//
// The table of contents gets its page numbers here: the HTML writes "{page:" NAME "}" (without
// the quotes and blanks) where the number of the page that holds <a name="NAME"> goes. Every page
// gets a footer with the document's title and the page number.
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace {

// Page margins in millimetres; the footer sits in the bottom margin.
constexpr qreal kLeftMm = 22.0;
constexpr qreal kRightMm = 22.0;
constexpr qreal kTopMm = 20.0;
constexpr qreal kBottomMm = 22.0;
constexpr qreal kFooterGapMm = 8.0;  // from the bottom of the text to the footer's rule
constexpr qreal kFooterPt = 8.0;
const QColor kFooterColor(0x91, 0x91, 0x91);

// A page number that lays out as wide as any real one, for the first round.
const QString kProvisionalNumber = QStringLiteral("00");
// Rounds of numbering: a number that moves the text changes the pages of later headings.
constexpr int kNumberingRounds = 4;

const QRegularExpression& PagePlaceholder() {
  static const QRegularExpression placeholder(QStringLiteral(R"(\{page:([A-Za-z0-9_-]+)\})"));
  return placeholder;
}

// The document is laid out at the screen's resolution, where Qt's rich text measures every CSS
// length as it does on screen, and drawn scaled up to the PDF's resolution.
struct PageGeometry {
  qreal scale;    // PDF device units in one layout pixel
  QRectF body;    // the text area, in layout pixels
  qreal footerY;  // the footer's rule, in layout pixels
  qreal pixelsPerMm;
};

PageGeometry GeometryOf(const QPdfWriter& writer) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const qreal layoutDpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
  const qreal scale = writer.resolution() / layoutDpi;
  const qreal perMm = layoutDpi / 25.4;
  const QRectF page(0, 0, writer.width() / scale, writer.height() / scale);
  const QRectF body =
      page.adjusted(kLeftMm * perMm, kTopMm * perMm, -kRightMm * perMm, -kBottomMm * perMm);
  return {scale, body, body.bottom() + kFooterGapMm * perMm, perMm};
}

std::optional<QString> ReadHtml(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return std::nullopt;
  }
  return QString::fromUtf8(file.readAll());
}

// The HTML with each placeholder replaced by its page number, or by the provisional number while
// the page is not known yet.
QString WithPageNumbers(const QString& html, const QHash<QString, int>& pages) {
  QString filled;
  qsizetype done = 0;
  for (const QRegularExpressionMatch& match : PagePlaceholder().globalMatch(html)) {
    filled += html.mid(done, match.capturedStart() - done);
    const auto page = pages.constFind(match.captured(1));
    filled += page == pages.constEnd() ? kProvisionalNumber : QString::number(*page);
    done = match.capturedEnd();
  }
  return filled + html.mid(done);
}

// Typesetting rules that Qt's rich text lacks:
// - a heading has an eighth of a page below it, or it starts the next page;
// - a heading, and a paragraph that ends in a colon, stay on the page of what follows them;
// - a table shorter than a third of a page is not split, and no table leaves its first row alone
//   at the foot of a page;
// - no table row is split between two pages.
// Each change moves what follows it, so the rules run in reading order, each measured on the layout
// that the changes before it left.
class PageBreaker {
 public:
  explicit PageBreaker(QTextDocument& document) : document_(document) {}

  void Apply() {
    // The items are listed first: a frame iterator loses its place when formats change under it.
    // Formats change no positions, so a block is found again by its position.
    std::vector<std::variant<int, QTextTable*>> items;
    for (auto item = document_.rootFrame()->begin(); !item.atEnd(); ++item) {
      if (auto* table = qobject_cast<QTextTable*>(item.currentFrame())) {
        items.emplace_back(table);
      } else if (item.currentBlock().isValid()) {
        items.emplace_back(item.currentBlock().position());
      }
    }
    for (const auto& item : items) {
      if (const int* position = std::get_if<int>(&item)) {
        const QTextBlock block = document_.findBlock(*position);
        PlaceBlock(block);
        previous_ = block;
      } else {
        PlaceTable(*std::get<QTextTable*>(item));
      }
    }
  }

 private:
  struct Extent {
    qreal top = 0;     // of the first line
    qreal bottom = 0;  // of the last line
  };

  qreal PageHeight() const { return document_.pageSize().height(); }
  int PageOf(qreal y) const { return static_cast<int>(std::floor(y / PageHeight())); }
  qreal TopOfPage(int page) const { return page * PageHeight(); }

  Extent ExtentOf(const QTextBlock& block) const {
    const QRectF bounds = document_.documentLayout()->blockBoundingRect(block);
    return {bounds.top(), bounds.bottom()};
  }

  Extent ExtentOfRow(const QTextTable& table, int row) const {
    Extent extent{std::numeric_limits<qreal>::max(), 0};
    for (int column = 0; column < table.columns(); ++column) {
      const QTextTableCell cell = table.cellAt(row, column);
      if (cell.row() != row || cell.column() != column) {
        continue;  // spanned from another cell
      }
      extent.top = std::min(extent.top, ExtentOf(cell.firstCursorPosition().block()).top);
      extent.bottom = std::max(extent.bottom, ExtentOf(cell.lastCursorPosition().block()).bottom);
    }
    return extent;
  }

  // What a page break now goes before: the start of the pending lead-in, else the item itself.
  void BreakBefore(const QTextBlock& block) {
    const QTextBlock target = leadIn_.isValid() ? leadIn_ : block;
    if (target.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) {
      return;  // already at the top of a page: nothing better to do
    }
    QTextBlockFormat format;
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor(target).mergeBlockFormat(format);
    document_.pageCount();
  }

  // Before a table through the block before it: Qt breaks before a table by moving its rows, and
  // the first row's background then starts at the foot of the page before.
  void BreakBeforeTable() {
    if (leadIn_.isValid()) {
      BreakBefore(leadIn_);
      return;
    }
    if (!previous_.isValid() ||
        (previous_.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysAfter)) {
      return;
    }
    QTextBlockFormat format;
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysAfter);
    QTextCursor(previous_).mergeBlockFormat(format);
    document_.pageCount();
  }

  // True when the pending lead-in ended on another page than `top`.
  bool LeftBehind(qreal top) const {
    return leadIn_.isValid() && PageOf(ExtentOf(leadIn_).bottom) != PageOf(top);
  }

  void PlaceBlock(const QTextBlock& block) {
    if (LeftBehind(ExtentOf(block).top)) {
      BreakBefore(block);
    }
    if (block.blockFormat().headingLevel() > 0) {
      const Extent heading = ExtentOf(block);
      if (TopOfPage(PageOf(heading.top) + 1) - heading.bottom < PageHeight() / 8) {
        BreakBefore(block);
      }
      StartLeadIn(block);
    } else if (block.text().trimmed().endsWith(u':')) {
      StartLeadIn(block);
    } else {
      leadIn_ = QTextBlock();
    }
  }

  void StartLeadIn(const QTextBlock& block) {
    if (!leadIn_.isValid()) {
      leadIn_ = block;
    }
  }

  void PlaceTable(QTextTable& table) {
    const Extent first = ExtentOfRow(table, 0);
    const Extent last = ExtentOfRow(table, table.rows() - 1);
    const bool split = PageOf(first.top) != PageOf(last.bottom - 1);
    if (LeftBehind(first.top) || (split && last.bottom - first.top < PageHeight() / 3)) {
      BreakBeforeTable();
    }
    if (table.rows() > 1) {
      const Extent second = ExtentOfRow(table, 1);
      if (PageOf(second.bottom - 1) != PageOf(ExtentOfRow(table, 0).top)) {
        BreakBeforeTable();
      }
    }
    leadIn_ = QTextBlock();
    for (int row = 0; row < table.rows(); ++row) {
      KeepRowWhole(table, row);
    }
  }

  // Moves a split row's text to the next page; the cells' top padding takes the room left at the
  // foot of the page.
  void KeepRowWhole(QTextTable& table, int row) {
    const Extent extent = ExtentOfRow(table, row);
    const int page = PageOf(extent.top);
    if (PageOf(extent.bottom - 1) == page) {
      return;
    }
    const qreal shift = TopOfPage(page + 1) - extent.top;
    for (int column = 0; column < table.columns(); ++column) {
      QTextTableCell cell = table.cellAt(row, column);
      if (cell.row() != row || cell.column() != column) {
        continue;
      }
      QTextTableCellFormat format = cell.format().toTableCellFormat();
      const qreal padding = format.hasProperty(QTextFormat::TableCellTopPadding)
                                ? format.topPadding()
                                : table.format().cellPadding();
      format.setTopPadding(padding + shift);
      cell.setFormat(format);
    }
    document_.pageCount();
  }

  QTextDocument& document_;
  QTextBlock leadIn_;    // the first block of headings and lead-in paragraphs not yet followed
  QTextBlock previous_;  // the last block outside tables
};

// The document laid out in pages of the body's size. Design metrics keep the glyph widths free of
// the screen's rounding, so the scaled-up text sits as the font designer meant.
std::unique_ptr<QTextDocument> LayOut(const QString& html, const QRectF& body) {
  auto document = std::make_unique<QTextDocument>();
  document->setUseDesignMetrics(true);
  document->setDefaultFont(
      QFont(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")}, 10));
  document->setDocumentMargin(0);
  document->setHtml(html);
  document->setPageSize(body.size());
  document->pageCount();  // lays out the whole document now, not piece by piece when drawn
  PageBreaker(*document).Apply();
  return document;
}

// The page (from 1) of each named anchor.
QHash<QString, int> AnchorPages(const QTextDocument& document) {
  QHash<QString, int> pages;
  const qreal pageHeight = document.pageSize().height();
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    const qreal top = document.documentLayout()->blockBoundingRect(block).top();
    const int page = static_cast<int>(top / pageHeight) + 1;
    for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
      for (const QString& name : fragment.fragment().charFormat().anchorNames()) {
        pages.insert(name, page);
      }
    }
  }
  return pages;
}

// The document with the contents numbered; `pages` gets the page of each anchor. Null when the
// numbers keep moving the headings.
std::unique_ptr<QTextDocument> NumberedDocument(const QString& html, const QRectF& body,
                                                QHash<QString, int>& pages) {
  for (int round = 0; round < kNumberingRounds; ++round) {
    auto document = LayOut(WithPageNumbers(html, pages), body);
    QHash<QString, int> found = AnchorPages(*document);
    if (found == pages) {
      return document;
    }
    pages = std::move(found);
  }
  return nullptr;
}

// Names used by a placeholder without an anchor of that name.
QStringList MissingAnchors(const QString& html, const QHash<QString, int>& pages) {
  QStringList missing;
  for (const QRegularExpressionMatch& match : PagePlaceholder().globalMatch(html)) {
    if (!pages.contains(match.captured(1))) {
      missing << match.captured(1);
    }
  }
  return missing;
}

void PaintFooter(QPainter& painter, const PageGeometry& geometry, const QString& title, int page,
                 int pages) {
  painter.save();
  QPen rule(kFooterColor);
  rule.setWidthF(0.2 * geometry.pixelsPerMm);
  painter.setPen(rule);
  const QRectF& body = geometry.body;
  painter.drawLine(QPointF(body.left(), geometry.footerY), QPointF(body.right(), geometry.footerY));
  QFont font(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  // In layout pixels: the painter is scaled, so a point size would be taken at the PDF's
  // resolution.
  font.setPixelSize(qRound(kFooterPt * geometry.pixelsPerMm * 25.4 / 72.0));
  painter.setFont(font);
  const QRectF line(body.left(), geometry.footerY + 1.5 * geometry.pixelsPerMm, body.width(),
                    6 * geometry.pixelsPerMm);
  painter.drawText(line, Qt::AlignLeft | Qt::AlignTop, title);
  painter.drawText(line, Qt::AlignRight | Qt::AlignTop,
                   QStringLiteral("Page %1 of %2").arg(page).arg(pages));
  painter.restore();
}

bool Paint(const QTextDocument& document, QPdfWriter& writer, const PageGeometry& geometry) {
  QPainter painter;
  if (!painter.begin(&writer)) {
    return false;
  }
  const QString title = document.metaInformation(QTextDocument::DocumentTitle);
  const int pages = document.pageCount();
  const QRectF& body = geometry.body;
  painter.scale(geometry.scale, geometry.scale);
  for (int page = 0; page < pages; ++page) {
    if (page > 0) {
      writer.newPage();
    }
    painter.save();
    painter.translate(body.left(), body.top() - page * body.height());
    QAbstractTextDocumentLayout::PaintContext context;
    // A pixel short at the foot: a table that starts the next page has its first cell's background
    // begin a hair above the page's edge, which would show as a line at the foot of this page.
    context.clip = QRectF(0, page * body.height(), body.width(), body.height() - 1);
    painter.setClipRect(context.clip);
    document.documentLayout()->draw(&painter, context);
    painter.restore();
    PaintFooter(painter, geometry, title, page + 1, pages);
  }
  return painter.end();
}

int Fail(const QString& text) {
  std::fprintf(stderr, "make_help_pdf: %s\n", qPrintable(text));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // A build step on machines without a display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QStringList args = QGuiApplication::arguments();
  if (args.size() != 3) {
    return Fail(QStringLiteral("usage: make_help_pdf <help.html> <output.pdf>"));
  }
  const std::optional<QString> html = ReadHtml(args[1]);
  if (!html) {
    return Fail(QStringLiteral("cannot read ") + args[1]);
  }

  QPdfWriter writer(args[2]);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
  writer.setCreator(QStringLiteral("Nimbrel"));
  const PageGeometry geometry = GeometryOf(writer);

  QHash<QString, int> pages;
  std::unique_ptr<QTextDocument> document = NumberedDocument(*html, geometry.body, pages);
  if (!document) {
    return Fail(QStringLiteral("the page numbers of the contents do not settle"));
  }
  if (const QStringList missing = MissingAnchors(*html, pages); !missing.isEmpty()) {
    return Fail(QStringLiteral("no anchor named ") + missing.join(QStringLiteral(", ")));
  }
  writer.setTitle(document->metaInformation(QTextDocument::DocumentTitle));
  if (!Paint(*document, writer, geometry)) {
    return Fail(QStringLiteral("cannot write ") + args[2]);
  }
  return 0;
}
