// The modal requesters over Qt Widgets: message boxes and file dialogs, and the wait cursor that
// a long command puts up in their stead.
#include "host/WindowParts.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

namespace {

// Requesters keep the normal cursor, even while a long command has the wait cursor up.
class NormalCursor {
public:
    NormalCursor() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~NormalCursor() { QGuiApplication::restoreOverrideCursor(); }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;
};

// "desc|patterns|desc|patterns" into Qt name filters. "*.*" means every file, as users expect,
// and the description's own parenthesised patterns give way to the real ones.
QStringList NameFilters(const QString& patterns)
{
    const QStringList parts = patterns.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const qsizetype bracket = description.indexOf(QLatin1Char('('));
        if (bracket >= 0) {
            description = description.left(bracket).trimmed();
        }
        QStringList globs;
        for (const QString& glob : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            globs << (glob == QLatin1String("*.*") ? QStringLiteral("*") : glob.trimmed());
        }
        filters << QStringLiteral("%1 (%2)").arg(description, globs.join(QLatin1Char(' ')));
    }
    return filters;
}

QString AskFileName(QWidget* owner, QFileDialog::AcceptMode mode, const QString& title, const QString& patterns)
{
    QFileDialog dialog(owner, title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    const QStringList filters = NameFilters(patterns);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) {
        dialog.selectNameFilter(filters.constFirst());
    }
    const NormalCursor normal;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace

void HostWindow::Impl::ApplyCursor()
{
    const bool wanted = busy || working;
    const Qt::CursorShape shape = busy ? Qt::WaitCursor : Qt::BusyCursor;
    if (wanted && cursorSet) {
        QGuiApplication::changeOverrideCursor(shape);
    } else if (wanted) {
        QGuiApplication::setOverrideCursor(shape);
    } else if (cursorSet) {
        QGuiApplication::restoreOverrideCursor();
    }
    cursorSet = wanted;
}

void HostWindow::SetBusy(bool busy)
{
    impl_->busy = busy;
    impl_->ApplyCursor();
}

void HostWindow::SetWorking(bool working)
{
    impl_->working = working;
    impl_->ApplyCursor();
}

void HostWindow::ShowMessage(const QString& title, const QString& text)
{
    impl_->ShowWindow(); // a message at start-up stands over the window, as later ones do
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, impl_->window.get());
    const NormalCursor normal;
    box.exec();
}

QString HostWindow::AskOpenFileName(const QString& title, const QString& patterns)
{
    return AskFileName(impl_->window.get(), QFileDialog::AcceptOpen, title, patterns);
}

QString HostWindow::AskSaveFileName(const QString& title, const QString& patterns)
{
    return AskFileName(impl_->window.get(), QFileDialog::AcceptSave, title, patterns);
}
