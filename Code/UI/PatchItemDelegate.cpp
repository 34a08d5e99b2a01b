#include "PatchItemDelegate.h"

#include "DiffModel.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QTextOption>

#include <cmath>

PatchItemDelegate::PatchItemDelegate(QObject* parent) : QItemDelegate(parent)
{
}

PatchItemDelegate::~PatchItemDelegate() = default;

void PatchItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    mIndex = index;
    QItemDelegate::paint(painter, option, index);
}

// The base class measures the text without the paragraph breaks that
// drawDisplay shows.
QSize PatchItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize size = QItemDelegate::sizeHint(option, index);
    if (index.data(Qt::SizeHintRole).isValid())
        return size;
    const QStyleOptionViewItem options = setOptions(index, option);
    QRect bounds = options.rect;
    if (!(options.features & QStyleOptionViewItem::WrapText) || !bounds.isValid())
        bounds.setWidth(QWIDGETSIZE_MAX);
    const QString text = ShowHidden(ReplaceNewLine(index.data(Qt::DisplayRole).toString()));
    return size.expandedTo(textRectangle(nullptr, bounds, options.font, text).size());
}

void PatchItemDelegate::drawDisplay(QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect,
                                    const QString& text) const
{
    QPalette::ColorGroup group = QPalette::Disabled;
    if (option.state & QStyle::State_Enabled)
        group = (option.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    if (option.state & QStyle::State_Selected)
    {
        painter->fillRect(rect, option.palette.brush(group, QPalette::Highlight));
        painter->setPen(option.palette.color(group, QPalette::HighlightedText));
    }
    else
    {
        painter->setPen(option.palette.color(group, QPalette::Text));
    }

    if (text.isEmpty())
        return;
    if (option.state & QStyle::State_Editing)
    {
        painter->save();
        painter->setPen(option.palette.color(group, QPalette::Text));
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }

    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = rect.adjusted(margin, 0, -margin, 0);

    QTextOption textOption;
    textOption.setWrapMode((option.features & QStyleOptionViewItem::WrapText) ? QTextOption::WordWrap
                                                                              : QTextOption::ManualWrap);
    textOption.setTextDirection(option.direction);
    textOption.setAlignment(QStyle::visualAlignment(option.direction, option.displayAlignment));

    QTextLayout layout;
    layout.setTextOption(textOption);
    layout.setFont(option.font);
    layout.setText(ShowHidden(ReplaceNewLine(text)));
    // The formats go into the layout itself: drawn as selections, QTextLayout
    // would paint only the first of several adjacent ranges.
    QVector<QTextLayout::FormatRange> formats;
    if (const auto* model = qobject_cast<const DiffModel*>(mIndex.model()))
        model->StyleText(mIndex, formats);
    if (option.state & QStyle::State_Selected)
        ForSelection(formats, option.palette.color(group, QPalette::Highlight),
                     option.palette.color(group, QPalette::HighlightedText));
    layout.setFormats(formats);
    const QSizeF size = DoTextLayout(layout, textRect.width());
    const QRect layoutRect =
        QStyle::alignedRect(option.direction, option.displayAlignment, size.toSize(), textRect);

    if (!hasClipping() && (size.width() > textRect.width() || size.height() > textRect.height()))
    {
        painter->save();
        painter->setClipRect(layoutRect);
        layout.draw(painter, layoutRect.topLeft(), {}, layoutRect);
        painter->restore();
    }
    else
    {
        layout.draw(painter, layoutRect.topLeft(), {}, layoutRect);
    }
}

namespace
{

double Luminance(const QColor& colour)
{
    auto channel = [](double value)
    { return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

// The colour of text on that background: the preferred one where it reads
// well, else black or white, whichever stands out more.
QColor ReadableOn(const QColor& background, const QColor& preferred)
{
    if (PatchItemDelegate::Contrast(preferred, background) >= 4.5)
        return preferred;
    return PatchItemDelegate::Contrast(Qt::black, background) >=
                   PatchItemDelegate::Contrast(Qt::white, background)
               ? QColor(Qt::black)
               : QColor(Qt::white);
}

} // namespace

double PatchItemDelegate::Contrast(const QColor& a, const QColor& b)
{
    const double first = Luminance(a) + 0.05;
    const double second = Luminance(b) + 0.05;
    return first > second ? first / second : second / first;
}

// The change and equality colours are chosen for the table's background; on
// the selection colour they may not read at all. Selected, every range takes
// a colour that reads on what is behind it, and changed text is underlined so
// that it still stands apart from the rest.
void PatchItemDelegate::ForSelection(QVector<QTextLayout::FormatRange>& formats, const QColor& highlight,
                                     const QColor& highlightedText)
{
    for (QTextLayout::FormatRange& range : formats)
    {
        const bool changed = range.format.boolProperty(DiffModel::kChangeProperty);
        const QColor behind =
            range.format.background().style() != Qt::NoBrush ? range.format.background().color() : highlight;
        range.format.setForeground(ReadableOn(behind, highlightedText));
        if (changed)
            range.format.setFontUnderline(true);
    }
}

// A carriage return ends a paragraph of story text and a property line, but
// QTextLayout does not break lines at it: inside a cell it becomes a line
// separator like a line feed. The cell's last one is left as it is (it draws
// nothing), so that a paragraph does not get an empty line below it. The
// text keeps its length, so the model's format ranges still fit.
QString PatchItemDelegate::ReplaceNewLine(QString text)
{
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    const int last = text.endsWith(QLatin1Char('\r')) ? text.size() - 1 : text.size();
    for (int i = 0; i < last; ++i)
        if (text.at(i) == QLatin1Char('\r'))
            text[i] = QChar::LineSeparator;
    return text;
}

// The compared text masks every unit of hidden text as a zero-width space,
// which draws nothing: a change inside hidden text would not be seen. Each
// becomes a visible marker of the same length, so the model's format ranges
// (which tint hidden text and colour its changes) still fit.
QString PatchItemDelegate::ShowHidden(QString text)
{
    text.replace(QChar(0x200B), kHiddenMarker);
    return text;
}

QSizeF PatchItemDelegate::DoTextLayout(QTextLayout& layout, int lineWidth)
{
    qreal height = 0;
    qreal widthUsed = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
    {
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(0, height));
        height += line.height();
        widthUsed = qMax(widthUsed, line.naturalTextWidth());
    }
    layout.endLayout();
    return QSizeF(widthUsed, height);
}
