#pragma once

#include "Corvable.h"
#include "NameValueDict.h"
#include "XTTypes.h"

#include <array>
#include <memory>

// A box on a spread, described by its property rows: geometry and general
// settings, then text or picture settings by kind, then two flags and the
// background colour. A chosen
// row of the other side's box is applied through the matching host setter.
class Box : public Corvable, public NameValueDict<QString>
{
public:
    // A box of a project, or (kNoBox) the empty side of a pair in `project`,
    // where copying the other side's box creates it.
    explicit Box(long box, XTProjectId project = XT::kNoProject);
    Box(const Box& other) = default;
    Box(Box&& other) = default;
    Box& operator=(const Box& other) = default;
    Box& operator=(Box&& other) = default;

    QString ToString() const override;
    QString Name() const override;
    bool IsValid() const override;
    QJsonObject Identity() const override;
    QByteArray IdentityKey() const override;
    bool CanApply(int row) const override;
    bool CanTakeWhole() const override;
    RefusedRows ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches) override;

    using NameValueDict<QString>::Name;
    XTBoxRef BoxRef() const { return mBox; }

    // The box's place, as the comparison sees it once both sides are
    // paired: the normal spread it is on (counted from 1), and its place in
    // that spread's stacking order: the text of the Stacking row, the
    // nearest box below it that keeps its place relative to the others on
    // both sides (kNoBox for none), and that box's counterpart on the other
    // side, above which the other side's box goes when it takes this row.
    void SetPlace(int16_t spread, const QString& stacking, XTBoxRef ownBelow, XTBoxRef otherBelow);

    // Copies the other side's box (with the story it shows) into this
    // empty side's project, where it stands in its own: the same layout
    // number and spread, its number kept where its file keeps it (a box of
    // that number and another kind is replaced); false with the reason when
    // it cannot.
    bool CreateFrom(const Box& source, QString* reason);

    // How a row's value is read, written and shown.
    enum class Kind
    {
        Measure,
        Short,
        Long,
        Alignment,
        Boolean
    };
    enum class Source
    {
        BoxProperty,
        PictureProperty,
        Inset
    };
    struct Row
    {
        int label;
        Source source;
        int32_t property; // the property number, or the inset index
        Kind kind;
        int32_t format; // the measure format of a Measure row
    };

private:
    // The rows of a box both sides have, one by one; a row the host refuses
    // does not stop the others.
    RefusedRows CopyRows(Box& source, const std::map<int, TextDiff::UnitPatch*>& patches);
    // One row: the host error of taking the source's value.
    XTError CopyRow(int key, Box& source, const QString& value);
    void AddRows(const Row* rows, size_t count);
    XTError Remove();
    XTError ApplyRow(const Row& row, const Box& source, const QString& value);
    XTError ApplyColor(const Box& source, const QString& name);
    int StackingRow() const;
    static void TakeStackingPlace(XTBoxRef box, const Box& source, DocRef sourceLayout, DocRef layout);

    XTBoxRef mBox;
    XTProjectId mProject;
    std::shared_ptr<std::array<Fixed, 4>> mInsets;
    Fixed mOriginV = 0;
    Fixed mOriginH = 0;
    Fixed mHeight = 0;
    Fixed mWidth = 0;
    QString mTrue;
    QString mFalse;
    int16_t mSpread = 0;
    XTBoxRef mOwnBelow = XT::kNoBox;
    XTBoxRef mOtherBelow = XT::kNoBox;
};
