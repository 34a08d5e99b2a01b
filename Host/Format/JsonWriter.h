#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace XTHost
{

// Writes JSON as it is told, member after member, in one pass: a saved
// project has millions of members, and building them as a tree first took
// as long as writing the text and held several times its memory.
//
// The layout is the file's: a container whose members are all scalars and
// fit in a short line stays on one line; everything else is indented by two
// spaces per level, and the top level is always laid out. A container is
// therefore held back, as text, only while it may still fit on one line:
// its first container member or its first line too long lays it out.
//
// Keys are written as given, unescaped: literals and names of static tables.
// Inside an array, members have no key (the overloads without one).
class JsonWriter
{
public:
    // `expectedSize`: the text's length, where known, set aside at once: a
    // text of tens of megabytes grown step by step is copied at each step.
    explicit JsonWriter(qsizetype expectedSize = 0);

    void beginObject(const char* key = nullptr);
    void beginArray(const char* key = nullptr);
    void end();

    void number(const char* key, qint64 value);
    void fixed(const char* key, qint32 value); // a 16.16 value as an exact decimal
    void decimal(const char* key, double value); // shortest form, as XT::NumberText
    void boolean(const char* key, bool value);
    void string(const char* key, const QString& value);
    void number(qint64 value) { number(nullptr, value); }
    void fixed(qint32 value) { fixed(nullptr, value); }
    void string(const QString& value) { string(nullptr, value); }

    // The text, with a final newline, once the top level has ended.
    QByteArray finish();

private:
    struct Frame
    {
        bool mArray = false;
        bool mLaidOut = false;
        int mMembers = 0;
        int mInlineLength = 2; // brackets, and for each member its text and 6
    };

    void begin(const char* key, bool array);
    // Starts a member of the innermost container: its separator and key,
    // into the text or into what is held back.
    QByteArray& member(const char* key, bool scalar);
    void scalarWritten(const char* key, int start);
    void layOut(Frame& frame);
    void newLine(int depth);

    QByteArray mOut;
    std::vector<Frame> mFrames;
    // The innermost container while it may stay on one line: its members'
    // texts, each `"key": value`, and where each ends.
    QByteArray mHeld;
    std::vector<int> mHeldEnds;
};

} // namespace XTHost
