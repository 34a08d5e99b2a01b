#pragma once

#include "DiffEngine.h"
#include "XTTextFormat.h"
#include "XTTypes.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <map>

// An identity as a key for a map, written member by member: each member is
// its name, a type letter, its value's length and its value, so that no name
// a project holds can read as another member. Members go in the order of
// their names, the order a QJsonObject keeps them in.
class IdentityKeyWriter
{
public:
    IdentityKeyWriter& Text(const QString& name, const QString& value);
    IdentityKeyWriter& Number(const QString& name, double value);
    // A member of another type, as its JSON text.
    IdentityKeyWriter& Json(const QString& name, const QByteArray& json);
    QByteArray Key() const { return mKey; }
    // The key of an identity given as JSON.
    static QByteArray Of(const QJsonObject& identity);

private:
    void Member(const QString& name, char type, const QByteArray& text);
    QByteArray mKey;
};

// The rows of one apply that the host refused, keyed by patch table row, each
// with the reason; empty when every row went in.
typedef std::map<int, QString> RefusedRows;

// A comparable item of one side: a project, layout, spread, page, box, story
// or asset. Entities are values copied into the comparison tree; they refer to
// host objects by reference and id, valid while both projects are open.
class Corvable
{
public:
    // The text that is compared.
    virtual QString ToString() const = 0;
    // How the compared text is formatted (offsets into ToString()); none
    // for items whose text is not formatted.
    virtual XT::FormatRuns Formatting() const { return XT::FormatRuns(); }
    // The formatting as the host hands it over, in one string: two items
    // are formatted alike exactly when these are equal, which is cheaper to
    // tell than decoding both.
    virtual QString EncodedFormatting() const { return XT::EncodeFormatRuns(Formatting()); }
    // The item's label in the tree.
    virtual QString Name() const = 0;
    // Whether the item exists on this side.
    virtual bool IsValid() const = 0;
    // What names the item in either project whatever its label says: its
    // kind and the numbers or names the host keeps in the file (a layout's
    // number and a box's, a story's number, an asset's kind and name). Empty
    // for an item that does not exist on this side.
    virtual QJsonObject Identity() const;
    // The identity as a key for a map: IdentityKeyWriter's writing of
    // Identity(), empty where that is. Kinds a project holds by the ten
    // thousand write it without the JSON object first: a merge keys every
    // item of both sides by it.
    virtual QByteArray IdentityKey() const;
    // Whether the difference in that row may be applied.
    virtual bool CanApply(int row) const;
    // Whether this side can take the other side's item whole where only one
    // side has it: be created from it when this side lacks it, or be removed
    // when the other side lacks it. Such a pair copies every row alike.
    virtual bool CanTakeWhole() const { return false; }
    // Makes this side take the other side's content for the given rows (keyed
    // by patch table row). A row the host refuses does not stop the others.
    [[nodiscard]] virtual RefusedRows ApplyPatches(Corvable& other,
                                                   std::map<int, TextDiff::UnitPatch*>& patches) = 0;

protected:
    Corvable() = default;
    Corvable(const Corvable&) = default;
    Corvable& operator=(const Corvable&) = default;
    // Every row refused for the same reason.
    static RefusedRows RefuseAll(const std::map<int, TextDiff::UnitPatch*>& patches, const QString& reason);
    // Nothing refused after a host call that succeeded; every row, with the
    // host's reason, after one that failed.
    static RefusedRows AllOrNone(XTError error, const std::map<int, TextDiff::UnitPatch*>& patches);
    // What every item's ApplyPatches does first: with a source of another
    // kind, or an item neither side has (named `what`), every row is
    // refused; an item only the source has is made here (`create`), one
    // only this side has is removed (`remove`); otherwise `rows` copies the
    // rows one by one.
    RefusedRows TakeWholeOr(const Corvable* source, const std::map<int, TextDiff::UnitPatch*>& patches,
                            const QString& what, const std::function<RefusedRows()>& create,
                            const std::function<RefusedRows()>& remove,
                            const std::function<RefusedRows()>& rows) const;
    // Entities are never deleted through this base.
    ~Corvable() = default;
};
