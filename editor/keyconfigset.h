#ifndef KEYCONFIGSET_H
#define KEYCONFIGSET_H

#include "editor/combinationfilter.h"
#include "editor/keyconfig.h"
#include "editor/samekeysindex.h"
#include "editor/shownmatches.h"
#include "mapping/xmlparser.h"

#include <QList>
#include <QWidget>

#include <memory>

QT_BEGIN_NAMESPACE
class QPushButton;
class QScrollArea;
class QVBoxLayout;
QT_END_NAMESPACE

class KeyboardPage;

// The content of the Physical Keyboard tab: a scrolling stack of key combination editors
// with an "Add Key Combination" button below it, in the page that KeyboardPage puts
// around it. It creates, numbers and deletes the editors, builds those of a long list
// from the event loop, and joins their parts into the whole key mapping document.
class KeyConfigSet : public QWidget
{
    Q_OBJECT

public:
    // One empty combination, for a first start without a key mapping file.
    explicit KeyConfigSet(QWidget *parent = nullptr, const char *name = nullptr);
    // One editor per parsed combination, in their order; none for an empty list.
    explicit KeyConfigSet(const QList<XmlParser::KeyConfig> &list, QWidget *parent = nullptr,
                          const char *name = nullptr);

    void add(const QString &replacement, const QList<XmlParser::Key> &keys);
    // Takes the editor (a child of container) into the list, just above the stretch.
    void add(KeyConfig *editor);
    QString xml() const;

    // What the page's parts offer, for those that hold the list: "Undo" and Ctrl+Z (the
    // undo bar), importing files and exporting the list (ImportExport).
    void undo();
    qsizetype importFiles(const QStringList &paths);
    bool exportTo(const QString &path, QString *errorString = nullptr) const;

    // For the parts of the page.
    // Combinations in the list, built or not.
    qsizetype size() const { return configs.size() + m_unbuilt.size(); }
    // The number an unbuilt combination has, by its place among all that were ever queued.
    int unbuiltNumber(qsizetype place) const
    {
        return int(unbuiltAt() + place - m_unbuiltTaken + 1);
    }
    // Whether the widget is part of an editor.
    bool holds(const QWidget *widget) const;
    // Shows the combinations the filter matches, and those built later as they are built.
    void setFilter(const CombinationFilter &filter);
    const CombinationFilter &filter() const { return m_shown->filter(); }
    // Combinations the filter matches, built or not.
    qsizetype shownCount() const;
    // Adds parsed combinations at the end, below every other, all built at once.
    void append(const QList<XmlParser::KeyConfig> &list);
    // Removes the last count editors; true if the focus was in one of them.
    bool removeLast(qsizetype count);
    // Builds a deleted combination again at its place in the whole list (counted from 0).
    KeyConfig *restore(qsizetype place, const KeyConfig::Content &content);

Q_SIGNALS:
    // Before a combination is added or imported.
    void aboutToAdd();
    // An editor was deleted from the place in the whole list (counted from 0); hadFocus
    // when the focus was in it.
    void deleted(qsizetype place, const KeyConfig::Content &content, bool hadFocus);
    // Which combinations are shown, or how many there are, may have changed.
    void shownChanged();

protected Q_SLOTS:
    void add();
    void del(KeyConfig *editor);
    void forceRepaint();

protected:
    void setup();

private:
    friend class KeyConfigSetTest;

    QWidget *container = nullptr;
    QVBoxLayout *containerLayout = nullptr; // the editors, then a stretch
    QList<KeyConfig *> configs; // in screen order; not owning
    QScrollArea *scrollView = nullptr;
    KeyboardPage *m_page = nullptr;
    QPushButton *m_addButton = nullptr;

    bool m_repaintPending = false; // a forceRepaint() is queued

    // Parsed combinations whose editors are not built yet: a long list shows its first
    // editors at once and builds the rest from the event loop, a batch at a time. They
    // stand below the editors built so far and above those added meanwhile
    // (m_addedBelow), so an editor's number counts them when it stands below them.
    void build(qsizetype count);
    QList<XmlParser::KeyConfig> m_unbuilt;
    qsizetype m_unbuiltTaken = 0; // how many were taken from the front of m_unbuilt
    qsizetype m_addedBelow = 0; // the editors at the end of configs that stand below them
    bool m_showWithList = false; // editors are shown when the list is, not one by one

    qsizetype unbuiltAt() const { return configs.size() - m_addedBelow; }
    int numberAt(qsizetype index) const;
    void renumberFrom(qsizetype index);
    qsizetype insert(qsizetype place, KeyConfig *editor);

    // Appends parsed combinations to those not built yet, each in its same-keys group.
    void queue(const QList<XmlParser::KeyConfig> &list);

    SameKeysIndex m_sameKeys{ *this };
    // Editors the filter leaves out are hidden; combinations not built yet are matched from
    // their data.
    std::unique_ptr<ShownMatches> m_shown;
};

#endif // KEYCONFIGSET_H
