#ifndef IMPORTEXPORT_H
#define IMPORTEXPORT_H

#include <QCoreApplication>
#include <QObject>
#include <QString>

QT_BEGIN_NAMESPACE
class QHBoxLayout;
class QPushButton;
QT_END_NAMESPACE

class KeyConfigSet;
class UndoBar;

// "Import…" and "Export…": Qt's own file dialogs, reading other key mapping files within
// the key mapping file's limits into the list, writing the list to a file, and a message
// box for what went wrong.
class ImportExport : public QObject
{
    // Its texts keep the context of the list they were first written for.
    Q_DECLARE_TR_FUNCTIONS(KeyConfigSet)

public:
    // Its buttons, the list's children, go at the end of row; undoBar offers to take an
    // import back.
    ImportExport(KeyConfigSet *list, QHBoxLayout *row, UndoBar *undoBar);

    // Reads each file as the key mapping file is read and adds its combinations at the end
    // of the list, in their order, for one undo bar to take back. A message box says, one
    // sentence a file, which files added nothing and which were read only in part.
    // Returns how many combinations were added.
    qsizetype importFiles(const QStringList &paths);
    // Writes the combinations that would be saved at close to path, in the key mapping
    // file's layout, all or nothing (KeyMapFile::write); errorString says why not.
    bool exportTo(const QString &path, QString *errorString = nullptr) const;

    QPushButton *exportButton() const { return m_exportButton; }

private:
    void chooseImport();
    void chooseExport();
    void undoImport(qsizetype count);
    void tell(const QString &text);

    KeyConfigSet *m_list;
    UndoBar *m_undoBar;
    QPushButton *m_importButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    QString m_folder; // where the file dialogs open: the folder chosen last
};

#endif // IMPORTEXPORT_H
