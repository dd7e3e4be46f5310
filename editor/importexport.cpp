#include "editor/importexport.h"

#include "editor/keyconfigset.h"
#include "editor/undobar.h"
#include "mapping/keymapfile.h"
#include "mapping/keymapformat.h"
#include "mapping/xmlparser.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>

namespace {

// The key mapping file's reader, except that an element it does not know ends the reading
// of this file instead of the program: a file brought in from elsewhere is not the
// editor's own, and its own list must survive it.
class ImportReader : public XmlParser
{
protected:
    void unknownTag(const QString &) override { stop(); }
};

} // namespace

ImportExport::ImportExport(KeyConfigSet *list, QHBoxLayout *row, UndoBar *undoBar)
    : QObject(list)
    , m_list(list)
    , m_undoBar(undoBar)
    , m_folder(QDir::homePath())
{
    m_importButton = new QPushButton(tr("Import\u2026"), list);
    row->addWidget(m_importButton);
    connect(m_importButton, &QPushButton::clicked, this, [this] { chooseImport(); });
    m_exportButton = new QPushButton(tr("Export\u2026"), list);
    row->addWidget(m_exportButton);
    connect(m_exportButton, &QPushButton::clicked, this, [this] { chooseExport(); });
}

// Qt's own dialogs, not the desktop's: they behave the same everywhere and can be driven
// by a test.
void ImportExport::chooseImport()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        m_list, tr("Import Key Combinations"), m_folder,
        tr("Key mapping files (*.xml);;All files (*)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (paths.isEmpty())
        return;
    m_folder = QFileInfo(paths.first()).absolutePath();
    importFiles(paths);
}

void ImportExport::chooseExport()
{
    const QString path = QFileDialog::getSaveFileName(
        m_list, tr("Export Key Combinations"), m_folder,
        tr("Key mapping files (*.xml);;All files (*)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    m_folder = QFileInfo(path).absolutePath();
    QString error;
    if (!exportTo(path, &error))
        tell(tr("%1 was not written: %2.").arg(QDir::toNativeSeparators(path), error));
}

qsizetype ImportExport::importFiles(const QStringList &paths)
{
    const qsizetype before = m_list->size();
    QList<XmlParser::KeyConfig> imported;
    QStringList problems;
    for (const QString &path : paths) {
        const QString name = QDir::toNativeSeparators(path);
        ImportReader reader;
        reader.setLimits(KeyMapFile::maxFileSize, KeyMapFile::maxCombinations);
        const std::unique_ptr<XmlParser::Keyboard> keyboard = reader.parse(path);
        // The reasons begin with the path, which the sentence names already.
        QString why = reader.errorString();
        if (why.startsWith(path + QLatin1String(": ")))
            why.remove(0, path.size() + 2);
        if (!keyboard || keyboard->items().isEmpty()) {
            problems.append(reader.isComplete()
                                ? tr("%1 was not imported: it holds no key combination.").arg(name)
                                : tr("%1 was not imported: %2.").arg(name, why));
            continue;
        }
        // The list saved at close must be one that the next start can edit.
        if (before + imported.size() + keyboard->items().size() > KeyMapFile::maxCombinations) {
            problems.append(tr("%1 was not imported: the list would hold more than %2 "
                               "combinations.")
                                .arg(name)
                                .arg(KeyMapFile::maxCombinations));
            continue;
        }
        if (!reader.isComplete())
            problems.append(tr("%1 was read only in part (%2); the combinations before that "
                               "point were imported.")
                                .arg(name, why));
        imported += keyboard->items();
    }
    if (!problems.isEmpty())
        tell(problems.join(QLatin1Char('\n')));
    if (imported.isEmpty())
        return 0;

    m_list->append(imported);
    const qsizetype count = imported.size();
    m_undoBar->offer(count == 1 ? tr("1 combination imported.")
                                : tr("%n combinations imported.", nullptr, int(count)),
                     [this, count] { undoImport(count); });
    return count;
}

void ImportExport::undoImport(qsizetype count)
{
    // Not left to the next widget in the chain, which may be a capture button.
    if (m_list->removeLast(count))
        m_importButton->setFocus();
    m_undoBar->drop(m_importButton);
}

bool ImportExport::exportTo(const QString &path, QString *errorString) const
{
    return KeyMapFile::write(path, KeyMapFormat::encode(m_list->xml()), errorString);
}

// One warning, window-modal: it blocks the window's other input until it is closed, but
// not the caller, so the event loop and a test go on.
void ImportExport::tell(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavorin Settings"), text,
                                QMessageBox::Ok, m_list);
    box->setTextFormat(Qt::PlainText); // file names are not markup
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
