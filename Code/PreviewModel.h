#pragma once

#include "NodeVisitor.h"

#include <QAbstractTableModel>
#include <QImage>

#include <memory>

class ProjectTree;
class ProjectTreeNodeBase;
class SpreadPreview;
class XImageLoader;

// The preview table of one comparison-tree node: one row, the LHS picture in
// column 0 and the RHS picture in column 1. A story shows the host's
// rendering of its first box, made on a worker thread when the view first
// asks for the cell; a colour shows a swatch; a spread, a page or a box shows
// the spread that holds it, drawn to scale, the box, the boxes that differ
// and those with copies not saved yet marked; other nodes show nothing.
class PreviewModel : public QAbstractTableModel, public NodeVisitor
{
    Q_OBJECT

public:
    // `tree`, when given, says which pairs have copies not saved yet.
    explicit PreviewModel(ProjectTreeNodeBase& node, const ProjectTree* tree = nullptr);
    ~PreviewModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // bool: the cell's picture is a rendering of text, shown at the
    // preview zoom (other pictures fit their cell).
    static constexpr int ZoomableRole = Qt::UserRole + 1;

    bool WorkInProgress() const;
    // Whether the picture of a column is being produced.
    bool IsLoading(int column) const;
    ProjectTreeNodeBase& Node() const { return mNode; }
    // Whether the pictures are spreads (of a spread, a page or a box).
    bool ShowsSpreads() const;
    // Draws a spread again when it is next asked for: which boxes differ or
    // wait to be saved has changed.
    void RedrawSpreads();
    // Lets go of the spread pictures, unannounced: a model put aside keeps
    // none, as they are drawn again when it is shown. Whether it had any.
    bool DropSpreads();

    void Visit(ProjectTreeNode<QXPCursor::NullType>& node) const override;
    void Visit(ProjectTreeNode<Project>& node) const override;
    void Visit(ProjectTreeNode<Layout>& node) const override;
    void Visit(ProjectTreeNode<Spread>& node) const override;
    void Visit(ProjectTreeNode<Page>& node) const override;
    void Visit(ProjectTreeNode<Box>& node) const override;
    void Visit(ProjectTreeNode<Story>& node) const override;
    void Visit(ProjectTreeNode<Asset>& node) const override;
    void Visit(PlaceholderNode& node) const override;

private slots:
    void AddImagePreview(QImage image);

private:
    void SetSpreadPicture(SpreadPreview preview) const;

    // The view asks for pictures through the const data(); producing them is
    // a cache fill, hence the mutable fields.
    ProjectTreeNodeBase& mNode;
    const ProjectTree* mTree;
    mutable bool mSide;
    mutable bool mSpreads = false;
    mutable std::unique_ptr<QVariant> mLHSImage;
    mutable std::unique_ptr<QVariant> mRHSImage;
    mutable XImageLoader* mLHSLoader;
    mutable XImageLoader* mRHSLoader;
};
