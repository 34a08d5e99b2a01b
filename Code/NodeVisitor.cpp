#include "NodeVisitor.h"

void NodeVisitor::Visit(PlaceholderNode&) const
{
}
