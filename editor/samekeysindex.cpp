#include "editor/samekeysindex.h"

#include "editor/keyconfig.h"
#include "editor/keyconfigset.h"

namespace {

// The keys of a combination that would be written, as the key of its group; a null
// string for one that would not be written.
QString groupKey(const QList<XmlParser::Key> &keys, const QString &replacement)
{
    if (keys.isEmpty() || replacement.isEmpty())
        return QString();
    QString text;
    for (const XmlParser::Key &key : keys) {
        text += QString::number(key.key()) + QLatin1Char('/') + QString::number(key.state())
            + QLatin1Char(' ');
    }
    return text;
}

} // namespace

void SameKeysIndex::queue(const XmlParser::KeyConfig &config, qsizetype place, int number)
{
    const QString keys = groupKey(config.items(), config.replacement());
    if (keys.isNull())
        return;
    Group &group = m_groups[keys];
    group.unbuilt.append(place);
    if (!group.first)
        group.first = number;
    else if (!group.second)
        group.second = number;
}

void SameKeysIndex::build(KeyConfig *editor, const XmlParser::KeyConfig &config, qsizetype place)
{
    const QString keys = groupKey(config.items(), config.replacement());
    if (keys.isNull())
        return;
    // Taken in order from the front, it is the first unbuilt one of its group.
    Group &group = m_groups[keys];
    Q_ASSERT(!group.unbuilt.isEmpty() && group.unbuilt.first() == place);
    Q_UNUSED(place);
    group.unbuilt.removeFirst();
    group.built.append(editor);
    m_keysOf.insert(editor, keys);
    editor->setTwin(editor->number() == group.first ? group.second : group.first);
}

void SameKeysIndex::update(KeyConfig *editor)
{
    const QString was = m_keysOf.value(editor);
    const QString now = groupKey(editor->keys(), editor->replacement());
    if (was == now)
        return;
    leave(editor);
    if (const auto old = m_groups.find(was); old != m_groups.end())
        show(*old);
    if (now.isNull()) {
        editor->setTwin(0);
        return;
    }
    m_keysOf.insert(editor, now);
    Group &group = m_groups[now];
    group.built.append(editor);
    show(group);
}

void SameKeysIndex::leave(KeyConfig *editor)
{
    const auto keys = m_keysOf.constFind(editor);
    if (keys == m_keysOf.cend())
        return;
    const auto group = m_groups.find(*keys);
    group->built.removeOne(editor);
    if (group->built.isEmpty() && group->unbuilt.isEmpty())
        m_groups.erase(group);
    m_keysOf.erase(keys);
}

// Finds the group's first two members in list order and shows each built member the
// first other one.
void SameKeysIndex::show(Group &group)
{
    int first = 0;
    int second = 0;
    const auto take = [&first, &second](int number) {
        if (first == 0 || number < first) {
            second = first;
            first = number;
        } else if (second == 0 || number < second) {
            second = number;
        }
    };
    for (const KeyConfig *editor : std::as_const(group.built))
        take(editor->number());
    for (qsizetype i = 0; i < qMin<qsizetype>(group.unbuilt.size(), 2); ++i)
        take(m_list.unbuiltNumber(group.unbuilt.at(i)));
    group.first = first;
    group.second = second;
    for (KeyConfig *editor : std::as_const(group.built))
        editor->setTwin(editor->number() == first ? second : first);
}

void SameKeysIndex::showAll()
{
    for (Group &group : m_groups)
        show(group);
}
