#ifndef COMBINATIONFILTER_H
#define COMBINATIONFILTER_H

#include "mapping/xmlparser.h"

#include <QList>
#include <QString>

// Which key combinations the find row of the list shows: those whose replacement text or
// key labels contain a query, or those whose keys begin with the keys pressed. It looks
// only at keys and text, so a combination is matched from what it holds, whether its
// editor has made its widgets or not.
class CombinationFilter
{
public:
    // Every combination matches.
    CombinationFilter() = default;
    // Case is ignored, and blanks at either end of the query; an empty query matches all.
    static CombinationFilter byText(const QString &query);
    // The keys pressed so far, in order (code and state); none match all.
    static CombinationFilter byKeys(const QList<XmlParser::Key> &keys);

    // False when every combination matches.
    bool isActive() const { return !m_query.isEmpty() || !m_keys.isEmpty(); }
    bool matches(const QList<XmlParser::Key> &keys, const QString &replacement) const;

    // The keys' labels as their capture buttons show them, joined by single blanks
    // ("Sh+q a"); keys without a label show none and are left out.
    static QString labels(const QList<XmlParser::Key> &keys);

private:
    QString m_query;
    QList<XmlParser::Key> m_keys;
};

#endif // COMBINATIONFILTER_H
