#include "editor/combinationfilter.h"

#include "editor/keycodes.h"

CombinationFilter CombinationFilter::byText(const QString &query)
{
    CombinationFilter filter;
    filter.m_query = query.trimmed();
    return filter;
}

CombinationFilter CombinationFilter::byKeys(const QList<XmlParser::Key> &keys)
{
    CombinationFilter filter;
    filter.m_keys = keys;
    return filter;
}

bool CombinationFilter::matches(const QList<XmlParser::Key> &keys, const QString &replacement) const
{
    if (!m_keys.isEmpty()) {
        if (keys.size() < m_keys.size())
            return false;
        for (qsizetype i = 0; i < m_keys.size(); ++i) {
            if (keys.at(i).key() != m_keys.at(i).key()
                || keys.at(i).state() != m_keys.at(i).state())
                return false;
        }
        return true;
    }
    // The labels are made only for combinations whose text does not match.
    return m_query.isEmpty() || replacement.contains(m_query, Qt::CaseInsensitive)
        || labels(keys).contains(m_query, Qt::CaseInsensitive);
}

QString CombinationFilter::labels(const QList<XmlParser::Key> &keys)
{
    QString text;
    for (const XmlParser::Key &key : keys) {
        const QString label = KeyCodes::label(key.key(), key.state());
        if (label.isNull())
            continue;
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += label;
    }
    return text;
}
