#pragma once

#include <QRandomGenerator>
#include <QString>

// Deterministic story-like text: words with curly quotes, dashes, a few accented words and surrogate pairs,
// sentences, and paragraphs that end with a carriage return. No line feeds.
class StoryGenerator
{
public:
    explicit StoryGenerator(quint32 seed) : mRandom(seed) {}

    QString story(int units);
    QString word();
    // Replaces, inserts or deletes whole words at that many places spread over the text.
    QString editWords(const QString& text, int edits);
    // Moves a block of whole paragraphs of about blockUnits from near the first quarter to near the end.
    QString moveParagraphs(const QString& text, int blockUnits);

private:
    QString sentence();
    QString paragraph();

    QRandomGenerator mRandom;
};
