#include "StringsFile.h"

#include <QFile>

namespace XTHost
{

namespace
{

class Reader
{
public:
    explicit Reader(const QString& text) : mText(text) {}

    void SkipSpaceAndComments()
    {
        while (mPos < mText.size())
        {
            const QChar c = mText.at(mPos);
            if (c.isSpace())
            {
                if (c == QLatin1Char('\n'))
                    ++mLine;
                ++mPos;
            }
            else if (mText.midRef(mPos, 2) == QLatin1String("/*"))
            {
                const int end = mText.indexOf(QLatin1String("*/"), mPos + 2);
                const int stop = end < 0 ? mText.size() : end + 2;
                mLine += mText.midRef(mPos, stop - mPos).count(QLatin1Char('\n'));
                mPos = stop;
            }
            else if (mText.midRef(mPos, 2) == QLatin1String("//"))
            {
                while (mPos < mText.size() && mText.at(mPos) != QLatin1Char('\n'))
                    ++mPos;
            }
            else
            {
                return;
            }
        }
    }

    bool AtEnd() const { return mPos >= mText.size(); }

    bool Expect(QChar c)
    {
        SkipSpaceAndComments();
        if (AtEnd() || mText.at(mPos) != c)
            return false;
        ++mPos;
        return true;
    }

    bool Quoted(QString* value)
    {
        if (!Expect(QLatin1Char('"')))
            return false;
        value->clear();
        while (mPos < mText.size())
        {
            const QChar c = mText.at(mPos++);
            if (c == QLatin1Char('"'))
                return true;
            if (c == QLatin1Char('\n'))
                return false;
            if (c != QLatin1Char('\\'))
            {
                value->append(c);
                continue;
            }
            if (mPos >= mText.size())
                return false;
            const QChar escaped = mText.at(mPos++);
            switch (escaped.unicode())
            {
            case 'n':
                value->append(QLatin1Char('\n'));
                break;
            case 'r':
                value->append(QLatin1Char('\r'));
                break;
            case 't':
                value->append(QLatin1Char('\t'));
                break;
            case '"':
            case '\\':
                value->append(escaped);
                break;
            default:
                return false;
            }
        }
        return false;
    }

    int Line() const { return mLine; }

private:
    const QString& mText;
    int mPos = 0;
    int mLine = 1;
};

} // namespace

bool ReadStringsFile(const QString& path, QMap<int, QString>* strings, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        *error = QStringLiteral("%1: cannot be read (%2)").arg(path, file.errorString());
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    Reader reader(text);
    QMap<int, QString> read;
    for (;;)
    {
        reader.SkipSpaceAndComments();
        if (reader.AtEnd())
            break;
        QString key;
        QString value;
        bool isNumber = false;
        if (!reader.Quoted(&key) || !reader.Expect(QLatin1Char('=')) || !reader.Quoted(&value) ||
            !reader.Expect(QLatin1Char(';')))
        {
            *error = QStringLiteral("%1:%2: expected \"number\" = \"text\";").arg(path).arg(reader.Line());
            return false;
        }
        const int number = key.toInt(&isNumber);
        if (!isNumber)
        {
            *error = QStringLiteral("%1:%2: the key \"%3\" is not a string number")
                         .arg(path)
                         .arg(reader.Line())
                         .arg(key);
            return false;
        }
        read.insert(number, value);
    }
    *strings = read;
    return true;
}

} // namespace XTHost
