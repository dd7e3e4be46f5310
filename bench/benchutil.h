#ifndef BENCHUTIL_H
#define BENCHUTIL_H

#include "processinfo.h"

#include "mapping/xmlparser.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <vector>

// What several benchmarks share: the median of their runs, a list of combinations as a
// long key mapping file would give them, and (processinfo.h) this process's clock and peak memory.

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Combination i: a letter (with shift on every other one) and a digit, and the text
// "text i & é", which needs escaping and is not ASCII.
inline QList<XmlParser::KeyConfig> benchCombinations(int count, int first = 0)
{
    QList<XmlParser::KeyConfig> list;
    for (int i = first; i < first + count; ++i) {
        XmlParser::KeyConfig config;
        config.addKey(XmlParser::Key(0x41 + i % 26, i % 2 ? 0x08 : 0));
        config.addKey(XmlParser::Key(0x30 + i % 10, 0));
        config.setReplacement(QStringLiteral("text %1 & \u00e9").arg(i));
        list.append(config);
    }
    return list;
}

#endif // BENCHUTIL_H
