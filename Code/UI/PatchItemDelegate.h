#pragma once

#include <QItemDelegate>
#include <QModelIndex>
#include <QTextLayout>
#include <QVector>

// Draws the cells of the patch table: the text as it is, never elided, in
// the character formats the cell's DiffModel gives (changed text and
// unchanged text of a change row in their colours).
class PatchItemDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    explicit PatchItemDelegate(QObject* parent = nullptr);
    ~PatchItemDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // How a unit of hidden text is drawn.
    static constexpr QChar kHiddenMarker = QChar(0x00B7);
    // The text with every masked unit of hidden text as that marker.
    static QString ShowHidden(QString text);

    // The contrast ratio of two colours, 1 (none) to 21 (black on white).
    static double Contrast(const QColor& a, const QColor& b);
    // Recolours a selected cell's formats so that they read on the selection.
    static void ForSelection(QVector<QTextLayout::FormatRange>& formats, const QColor& highlight,
                             const QColor& highlightedText);

protected:
    void drawDisplay(QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect,
                     const QString& text) const override;

private:
    static QString ReplaceNewLine(QString text);
    static QSizeF DoTextLayout(QTextLayout& layout, int lineWidth);

    // drawDisplay is not given the index; paint keeps it for the call.
    mutable QModelIndex mIndex;
};
