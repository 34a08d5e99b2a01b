#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

class QJsonDocument;
class QJsonValue;

namespace XTHost
{

// A JSON document held as a flat array of nodes over the file's own bytes:
// strings stay in the file until asked for, numbers are read once, and an
// object's members are sorted by key for lookup.
//
// read() takes only what it reads exactly as QJsonDocument does: strict JSON
// numbers, well-formed UTF-8, known escapes, ASCII keys without escapes, each
// key once. On anything else (a syntax error, a repeated key, a byte order
// mark, an exponent...) it returns false without a message, and the caller
// lets QJsonDocument read the text, so that what a file means and how it is
// refused do not depend on which reader took it; fromDocument() then holds
// that document in the same form. Members keep QJsonObject's order (keys
// sorted), so code that walks an object meets keys in the same order either
// way.
class JsonTree
{
public:
    enum class Type : uint8_t
    {
        Undefined,
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    };

    class Array;
    class Object;

    class Value
    {
    public:
        Value() = default;

        Type type() const;
        bool isUndefined() const { return type() == Type::Undefined; }
        bool isNull() const { return type() == Type::Null; }
        bool isBool() const { return type() == Type::Bool; }
        bool isDouble() const { return type() == Type::Number; }
        bool isString() const { return type() == Type::String; }
        bool isArray() const { return type() == Type::Array; }
        bool isObject() const { return type() == Type::Object; }

        bool toBool() const;
        double toDouble() const;
        QString toString() const;
        // Empty when the value is of another type, as with QJsonValue.
        Array toArray() const;
        Object toObject() const;

    private:
        friend class JsonTree;
        Value(const JsonTree* tree, uint32_t node) : mTree(tree), mNode(node) {}

        const JsonTree* mTree = nullptr;
        uint32_t mNode = 0;
    };

    class Array
    {
    public:
        Array() = default;
        int size() const { return int(mCount); }
        Value at(int index) const;

    private:
        friend class JsonTree;
        Array(const JsonTree* tree, uint32_t first, uint32_t count) : mTree(tree), mFirst(first), mCount(count) {}

        const JsonTree* mTree = nullptr;
        uint32_t mFirst = 0;
        uint32_t mCount = 0;
    };

    class Object
    {
    public:
        Object() = default;
        int size() const { return int(mCount); }
        bool contains(const char* key) const { return find(key) >= 0; }
        // Undefined when the object has no such key.
        Value value(const char* key) const;
        QString keyAt(int index) const;
        Value valueAt(int index) const;

    private:
        friend class JsonTree;
        Object(const JsonTree* tree, uint32_t first, uint32_t count) : mTree(tree), mFirst(first), mCount(count) {}
        int find(const char* key) const;

        const JsonTree* mTree = nullptr;
        uint32_t mFirst = 0; // members are pairs of key and value nodes
        uint32_t mCount = 0;
    };

    // False when the text is left to QJsonDocument (see above).
    [[nodiscard]] bool read(const QByteArray& data);
    void fromDocument(const QJsonDocument& document);
    Value root() const { return mNodes.empty() ? Value() : Value(this, 0); }

private:
    struct Node
    {
        Type mType;
        uint8_t mFlags;
        uint32_t mA; // see the flags
        uint32_t mB;
    };
    // String: mA and mB are the bytes' offset and length in mData, or mA
    // indexes mOwned; Number: mA is the whole number itself, or indexes
    // mDoubles; Array and Object: mA indexes mChildren, mB counts the
    // elements or members; Bool: mA is 0 or 1.
    enum Flags : uint8_t
    {
        Ascii = 1,   // a string of ASCII bytes without escapes
        Escaped = 2, // a string with escapes
        Owned = 4,   // a string in mOwned
        Whole = 8    // a number that is a 32-bit whole number
    };

    class Reader;
    uint32_t addValue(const QJsonValue& value);
    uint32_t addDouble(double value);
    QString decode(const Node& node) const;

    QByteArray mData;
    std::vector<Node> mNodes;
    std::vector<uint32_t> mChildren;
    std::vector<double> mDoubles;
    std::vector<QString> mOwned;
    bool mFromDocument = false;
};

} // namespace XTHost
