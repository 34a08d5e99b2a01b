#pragma once

#include "XTTextFormat.h"

#include <QStringList>

// What differs between two formattings of the same text, as a user reads
// it: one line per attribute and pair of values, in text order, each once
// ("size 30 pt → 36 pt", "font DejaVu Sans Book → DejaVu Sans Bold").
// `length` units from start1 under `left` are read against as many from
// start2 under `right`.
QStringList DescribeFormatChanges(const XT::FormatRuns& left, int start1, const XT::FormatRuns& right, int start2,
                                  int length);

// One attribute's value as a user reads it: with its unit, "on" or "off" for
// a flag, "none" where it is not set.
QString AttributeText(const QString& name, const QString& value);
