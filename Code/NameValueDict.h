#pragma once

#include <QString>
#include <QTextStream>

#include <utility>
#include <vector>

// An ordered list of properties, written one value per line. The patch table
// finds it behind an entity and then diffs line by line, so row i is
// property i.
template <typename V> class NameValueDict
{
public:
    explicit NameValueDict(ushort separator) : mSeparator(separator) {}

    QString Name(size_t i) const { return mDict[i].first; }
    V Value(size_t i) const { return mDict[i].second; }
    void Update(size_t i, const V& value) { mDict[i].second = value; }
    size_t Count() const { return mDict.size(); }
    ushort Separator() const { return mSeparator; }

    void Serialize(QTextStream& stream, bool valuesOnly) const
    {
        for (const auto& [name, value] : mDict)
        {
            if (!valuesOnly)
                stream << name << ": ";
            stream << value << QChar(mSeparator);
        }
    }

    // The values, one per line: the text an entity compares.
    QString Values() const
    {
        QString text;
        QTextStream stream(&text);
        Serialize(stream, true);
        stream.flush();
        return text;
    }

protected:
    void Add(const QString& name, const V& value) { mDict.emplace_back(name, value); }

    std::vector<std::pair<QString, V>> mDict;
    ushort mSeparator;
};
