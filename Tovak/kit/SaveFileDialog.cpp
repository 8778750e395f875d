#include "Tovak/kit/SaveFileDialog.h"

#include <QFileDialog>

namespace vellicord::SaveFileDialog {

void run(QWidget& view, const ViewServices::SaveFileRequest& request, ViewServices::SaveFileAnswer answer)
{
    // The dialog belongs to the window, so that it outlives a view replaced while it is up; the
    // view is the context of the answer, which then never comes.
    auto* dialog = new QFileDialog(view.window(), request.title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(request.nameFilters);
    dialog->setDefaultSuffix(request.defaultSuffix);
    dialog->selectFile(request.suggestedName);
    QObject::connect(dialog, &QDialog::finished, &view, [dialog, answer = std::move(answer)](int result) {
        const QStringList chosen = dialog->selectedFiles();
        if (result == QDialog::Accepted && !chosen.isEmpty() && !chosen.first().isEmpty())
            answer(chosen.first());
        else
            answer(std::nullopt);
    });
    dialog->open();
}

} // namespace vellicord::SaveFileDialog
