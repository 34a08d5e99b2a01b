#pragma once

#include <cstdint>
#include <memory>

namespace XTHost
{

// A document as another program wrote it, kept beside the model read from
// it: what the model does not describe is written back from it. Its format
// knows what it holds.
class SourceDocument
{
public:
    virtual ~SourceDocument() = default;
};

// Where a part of the model was read from: an element of a source document.
// Copies of the part (into this project or another) keep it, so that a
// format that writes the copy can start from the original element rather
// than from the model alone. Not part of what the model says: two parts that
// differ only in their origin are equal.
struct Origin
{
    std::shared_ptr<const SourceDocument> mDocument;
    uint32_t mElement = UINT32_MAX;

    explicit operator bool() const { return mDocument != nullptr; }
    bool isIn(const SourceDocument* document) const { return mDocument.get() == document && document; }
};

} // namespace XTHost
