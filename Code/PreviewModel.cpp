#include "PreviewModel.h"

#include "ProjectTree.h"
#include "ProjectTreeNode.h"
#include "SpreadPreview.h"
#include "XImageLoader.h"
#include "XTCalls.h"

#include <QPixmap>

namespace
{

constexpr int kSwatchSize = 40;

// A 16-bit colour component as an 8-bit one, rounded: 0xFFFF is 255.
int To8Bit(uint16_t component)
{
    return (int(component) * 255 + 32767) / 65535;
}

// The numbers of one side's boxes on the spread shown that differ from the
// other side's, and of those with copies not saved yet, among the pairs of
// the layout that holds `node`: what a spread preview marks. Only the boxes
// shown are asked their number: the layout may hold thousands.
void MarkedBoxes(ProjectTreeNodeBase& node, bool left, const ProjectTree* tree, const SpreadPreview& preview,
                 QSet<int32_t>& numbers, QSet<int32_t>& pending)
{
    QSet<XTBoxRef> shown;
    for (const SpreadPreview::Item& item : preview.Boxes())
        shown.insert(item.mBox);
    ProjectTreeNodeBase* layout = &node;
    while (layout && !dynamic_cast<ProjectTreeNode<Layout>*>(layout))
        layout = dynamic_cast<ProjectTreeNodeBase*>(layout->mParent);
    if (!layout)
        return;
    for (int i = 0; i < layout->ChildCount(); ++i)
    {
        ProjectTreeNodeBase* folder = layout->Child(i);
        if (!dynamic_cast<PlaceholderNode*>(folder))
            continue;
        for (int j = 0; j < folder->ChildCount(); ++j)
        {
            auto* pair = dynamic_cast<ProjectTreeNode<Box>*>(folder->Child(j));
            if (!pair)
                continue;
            const bool waits = tree && tree->IsPending(pair);
            const Box& box = left ? pair->mLeft : pair->mRight;
            if ((waits || pair->NodeType() != Identical) && box.IsValid() && shown.contains(box.BoxRef()))
                (waits ? pending : numbers).insert(XT::gBox->GetBoxNumber(box.BoxRef(), 0));
        }
    }
}

} // namespace

PreviewModel::PreviewModel(ProjectTreeNodeBase& node, const ProjectTree* tree)
    : mNode(node), mTree(tree), mSide(true), mLHSLoader(nullptr), mRHSLoader(nullptr)
{
}

bool PreviewModel::ShowsSpreads() const
{
    return dynamic_cast<ProjectTreeNode<Spread>*>(&mNode) || dynamic_cast<ProjectTreeNode<Page>*>(&mNode) ||
           dynamic_cast<ProjectTreeNode<Box>*>(&mNode);
}

void PreviewModel::RedrawSpreads()
{
    if (DropSpreads())
        emit dataChanged(index(0, 0), index(0, 1));
}

bool PreviewModel::DropSpreads()
{
    if (!mSpreads || (!mLHSImage && !mRHSImage))
        return false;
    mLHSImage.reset();
    mRHSImage.reset();
    return true;
}

// Deleting a running loader waits for its rendering to end.
PreviewModel::~PreviewModel()
{
    delete mLHSLoader;
    delete mRHSLoader;
}

int PreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

int PreviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.model() != this)
        return QVariant();
    if (role == ZoomableRole)
        return dynamic_cast<ProjectTreeNode<Story>*>(&mNode) != nullptr;
    if (role != Qt::DecorationRole)
        return QVariant();
    mSide = index.column() == 0;
    const std::unique_ptr<QVariant>& image = mSide ? mLHSImage : mRHSImage;
    if (!image && !(mSide ? mLHSLoader : mRHSLoader))
        mNode.Accept(*this);
    return image ? *image : QVariant();
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    if (section == 0)
        return QStringLiteral("LHS Preview");
    if (section == 1)
        return QStringLiteral("RHS Preview");
    return QVariant();
}

bool PreviewModel::WorkInProgress() const
{
    return XImageLoader::WorkInProgress();
}

bool PreviewModel::IsLoading(int column) const
{
    return (column == 0 ? mLHSLoader : mRHSLoader) != nullptr;
}

void PreviewModel::Visit(ProjectTreeNode<QXPCursor::NullType>&) const
{
}
void PreviewModel::Visit(ProjectTreeNode<Project>&) const
{
}
void PreviewModel::Visit(ProjectTreeNode<Layout>&) const
{
}
void PreviewModel::Visit(ProjectTreeNode<Spread>& node) const
{
    const Spread& spread = mSide ? node.mLeft : node.mRight;
    if (spread.IsValid())
        SetSpreadPicture(SpreadPreview::OfSpread(spread.SpreadBox()));
}

void PreviewModel::Visit(ProjectTreeNode<Page>& node) const
{
    const Page& page = mSide ? node.mLeft : node.mRight;
    if (page.IsValid())
        SetSpreadPicture(SpreadPreview::OfPage(page.Doc(), page.Number()));
}

void PreviewModel::Visit(ProjectTreeNode<Box>& node) const
{
    const Box& box = mSide ? node.mLeft : node.mRight;
    if (box.IsValid())
        SetSpreadPicture(SpreadPreview::OfBox(box.BoxRef()));
}

void PreviewModel::SetSpreadPicture(SpreadPreview preview) const
{
    if (!preview.IsValid())
        return;
    QSet<int32_t> differing, pending;
    MarkedBoxes(mNode, mSide, mTree, preview, differing, pending);
    preview.SetDiffering(differing);
    preview.SetPending(pending);
    mSpreads = true;
    (mSide ? mLHSImage : mRHSImage) = std::make_unique<QVariant>(preview.Draw());
}
void PreviewModel::Visit(PlaceholderNode&) const
{
}

void PreviewModel::Visit(ProjectTreeNode<Story>& node) const
{
    const Story& story = mSide ? node.mLeft : node.mRight;
    if (!story.Text())
        return;
    auto* loader = new XImageLoader;
    connect(loader, &XImageLoader::XImageLoaded, const_cast<PreviewModel*>(this),
            &PreviewModel::AddImagePreview);
    (mSide ? mLHSLoader : mRHSLoader) = loader;
    loader->Load(story.Text());
}

void PreviewModel::Visit(ProjectTreeNode<Asset>& node) const
{
    if (node.mLeft.Kind() != XT::kColorAssetKind)
        return;
    const Asset& asset = mSide ? node.mLeft : node.mRight;
    if (!asset.Space() || asset.Uid() == XT::kNoAsset)
        return;
    uint16_t red = 0, green = 0, blue = 0;
    XTColorList colours = XT::gAssets->GetColorList(asset.Space());
    if (!colours || XT::gColors->GetColorRGB(colours, XTColorId(asset.Uid()), XT::kFixedOne,
                                             XT::kColorSpacePSDX, -4, &red, &green, &blue) != 0)
        return;
    QPixmap swatch(kSwatchSize, kSwatchSize);
    swatch.fill(QColor(To8Bit(red), To8Bit(green), To8Bit(blue), 255));
    (mSide ? mLHSImage : mRHSImage) = std::make_unique<QVariant>(swatch);
}

void PreviewModel::AddImagePreview(QImage image)
{
    QObject* loader = sender();
    int column;
    if (loader && loader == mLHSLoader)
    {
        mLHSImage = std::make_unique<QVariant>(image);
        delete mLHSLoader;
        mLHSLoader = nullptr;
        column = 0;
    }
    else if (loader && loader == mRHSLoader)
    {
        mRHSImage = std::make_unique<QVariant>(image);
        delete mRHSLoader;
        mRHSLoader = nullptr;
        column = 1;
    }
    else
    {
        return;
    }
    emit dataChanged(index(0, column), index(0, column));
}
