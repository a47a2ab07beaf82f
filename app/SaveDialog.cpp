#include "app/SaveDialog.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QTreeView>

#include <algorithm>
#include <initializer_list>

namespace rilvane {

namespace {

// The detail view's columns, as QFileSystemModel numbers them.
enum Column { NameColumn = 0, SizeColumn = 1, TypeColumn = 2, DateColumn = 3 };

const QLocale& german()
{
    static const QLocale locale(QLocale::German, QLocale::Germany);
    return locale;
}

QString germanDate(const QDateTime& time)
{
    return german().toString(time, QStringLiteral("d. MMM yyyy HH:mm"));
}

// The file system model writes sizes and dates in the system's language,
// which is not the program's: the dialog shows both the German way
// ("9,3 MiB", "7. Dez. 2026 10:59") through this proxy.
class GermanFileDetails : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole && (index.column() == SizeColumn || index.column() == DateColumn)) {
            if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel())) {
                const QModelIndex source = mapToSource(index);
                if (index.column() == DateColumn)
                    return germanDate(files->lastModified(source));
                if (files->isDir(source))
                    return QString();
                return german().formattedDataSize(files->size(source));
            }
        }
        return QIdentityProxyModel::data(index, role);
    }
};

int widest(const QFontMetrics& metrics, std::initializer_list<QString> samples)
{
    int width = 0;
    for (const QString& sample : samples)
        width = std::max(width, metrics.horizontalAdvance(sample));
    return width;
}

// Columns wide enough for their longest usual entries, the name taking the
// rest; the dialog is opened large enough for all four.
void sizeColumns(QFileDialog& dialog)
{
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (view == nullptr)
        return;
    const QFontMetrics metrics(view->font());
    const int padding = 2 * metrics.horizontalAdvance(QLatin1Char('M'));
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    header->resizeSection(SizeColumn, padding + widest(metrics, {QStringLiteral("999,9 MiB"), QStringLiteral("Größe")}));
    header->resizeSection(TypeColumn,
                          padding + widest(metrics, {QStringLiteral("Verzeichnis"), QStringLiteral("wav-Datei")}));
    header->resizeSection(DateColumn, padding + widest(metrics, {germanDate(QDateTime(QDate(2026, 12, 30), QTime(23, 59))),
                                                                  QStringLiteral("Änderungsdatum")}));
}

// The name field's completion list belongs to the dialog. The dialog reads
// folders in the background: a folder read that ends after the dialog has
// closed would open the list again on its own (now showing the file just
// saved), over the window, holding the mouse until Escape. When the dialog
// closes the list is hidden and forgets what was typed, so no late folder
// read matches it.
void closeCompletionWithDialog(QFileDialog& dialog)
{
    QObject::connect(&dialog, &QDialog::finished, &dialog, [&dialog] {
        for (QCompleter* completer : dialog.findChildren<QCompleter*>()) {
            completer->setCompletionPrefix(QString());
            if (QAbstractItemView* list = completer->popup())
                list->hide();
        }
    });
}

// Where the dialog keeps a name taken as typed.
constexpr const char* kTypedFile = "rilvaneTypedFile";

// Qt's dialog reads a typed name with '"' in it as a list of quoted names
// ("a.wav" "b.wav") and would save under one of them, or in whatever folder
// it shows: `My "Best" Song.wav` would become `Best.wav`. Such a name is
// taken here as it was typed, in the dialog's folder (or as a path of its
// own), with the default suffix where it has none, and the same question
// before an existing file is replaced.
class SaveFileDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        setProperty(kTypedFile, QVariant());
        const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = edit ? edit->text() : QString();
        if (!typed.contains(QLatin1Char('"'))) {
            QFileDialog::accept();
            return;
        }
        QString path = QDir(directory().absolutePath()).absoluteFilePath(typed);
        if (QFileInfo(path).suffix().isEmpty() && !defaultSuffix().isEmpty())
            path += QLatin1Char('.') + defaultSuffix();
        const QFileInfo info(path);
        if (info.isDir()) {
            setDirectory(path);
            return;
        }
        if (info.exists() &&
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("%1 existiert bereits.\nSoll die Datei ersetzt werden?").arg(info.fileName()),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return;
        setProperty(kTypedFile, path);
        QDialog::accept();
    }
};

}  // namespace

QString chosenSaveFile(const QFileDialog& dialog)
{
    const QVariant typed = dialog.property(kTypedFile);
    if (typed.isValid()) return typed.toString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

QFileDialog* createSaveDialog(QWidget* parent)
{
    auto* dialog = new SaveFileDialog(parent);
    dialog->setObjectName(QStringLiteral("SaveDialog1"));
    // Qt's own dialog on every desktop: it is the one sized and set up here.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setLocale(german());
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setViewMode(QFileDialog::Detail);
    dialog->setDefaultSuffix(QStringLiteral("wav"));
    dialog->setNameFilter(QStringLiteral("WAV-Dateien (*.wav)"));
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog->setSizeGripEnabled(true);
    dialog->setProxyModel(new GermanFileDetails(dialog));
    sizeColumns(*dialog);
    dialog->resize(800, 480);
    closeCompletionWithDialog(*dialog);
    return dialog;
}

}  // namespace rilvane
