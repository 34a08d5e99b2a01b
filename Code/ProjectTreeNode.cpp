#include "ProjectTreeNode.h"

#include <QRandomGenerator64>

QUuid ProjectTreeNodeBase::NewId()
{
    static QRandomGenerator64 sGenerator(QRandomGenerator::system()->generate64());
    const quint64 high = sGenerator.generate64();
    const quint64 low = sGenerator.generate64();
    return QUuid(uint(high >> 32), ushort(high >> 16), ushort((high & 0x0FFF) | 0x4000),
                 uchar(((low >> 56) & 0x3F) | 0x80), uchar(low >> 48), uchar(low >> 40), uchar(low >> 32),
                 uchar(low >> 24), uchar(low >> 16), uchar(low >> 8), uchar(low));
}

void ProjectTreeNodeBase::Accept(const NodeVisitor&)
{
}

int ProjectTreeNodeBase::Row() const
{
    return mParent ? mRow : 0;
}

QVariant PlaceholderNode::Data(int) const
{
    return QVariant(mName);
}

TreeNodeType PlaceholderNode::NodeType() const
{
    return Folder;
}

void PlaceholderNode::Accept(const NodeVisitor& visitor)
{
    visitor.Visit(*this);
}
