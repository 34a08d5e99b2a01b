#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace XTHost
{

// A JSON value that keeps its keys in the order they were added, so that the
// writer controls the layout of the file.
class JsonNode
{
public:
    enum Type
    {
        Scalar, // a literal, already written: number, boolean or escaped string
        Array,
        Object
    };

    static JsonNode number(qint64 value);
    static JsonNode fixed(qint32 value); // a 16.16 value as an exact decimal
    static JsonNode decimal(double value); // shortest form, as XT::NumberText
    static JsonNode boolean(bool value);
    static JsonNode string(const QString& value);
    static JsonNode array();
    static JsonNode object();

    JsonNode& append(JsonNode value);
    // `key` is kept, not copied: a literal or a name of a static table. A
    // saved project has millions of members, and a copy of each key was one
    // allocation more per member.
    JsonNode& insert(const char* key, JsonNode value);

    // Containers of scalars that fit go on one line; everything else is
    // indented by two spaces per level.
    QByteArray toJson() const;

private:
    void write(QByteArray& out, int indent) const;
    bool writeInline(QByteArray& out) const;

    Type mType = Scalar;
    QByteArray mLiteral;
    std::vector<std::pair<const char*, JsonNode>> mChildren; // keys null in arrays
};

} // namespace XTHost
