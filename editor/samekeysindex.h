#ifndef SAMEKEYSINDEX_H
#define SAMEKEYSINDEX_H

#include "mapping/xmlparser.h"

#include <QHash>
#include <QList>
#include <QString>

class KeyConfig;
class KeyConfigSet;

// The "same keys" hints of a list: the combinations that would be written with the same
// keys, grouped by their keys. A group holds the editors that are built and the places in
// the parsed list of those that are not, ascending. Only combinations that would be
// written take part. Each member names the first other member in list order, so the
// numbers of the group's first two are kept: an editor built in its turn keeps the number
// it had unbuilt, and its hint follows from them without a walk through the group.
class SameKeysIndex
{
public:
    explicit SameKeysIndex(const KeyConfigSet &list) : m_list(list) { }

    // A parsed combination joins the list unbuilt, at this place among all that were ever
    // queued, with this number.
    void queue(const XmlParser::KeyConfig &config, qsizetype place, int number);
    // The combination queued at this place is now this editor, with the number it had.
    void build(KeyConfig *editor, const XmlParser::KeyConfig &config, qsizetype place);
    // Moves the editor into the group of its keys, or out of every group when it would not
    // be written; the hints of both groups follow.
    void update(KeyConfig *editor);
    // The editor leaves the list; showAll() then sets the hints of those that stay.
    void leave(KeyConfig *editor);
    // After a delete, an undo or an import, which renumber combinations.
    void showAll();

private:
    struct Group
    {
        QList<KeyConfig *> built; // not owning
        QList<qsizetype> unbuilt;
        int first = 0; // 0: none
        int second = 0;
    };
    void show(Group &group);

    const KeyConfigSet &m_list;
    QHash<QString, Group> m_groups;
    QHash<const KeyConfig *, QString> m_keysOf; // the editors in m_groups
};

#endif // SAMEKEYSINDEX_H
