#include "DirectoryDialog.h"

#include <QFileDialog>

std::optional<QString> BrowseDirectory(QWidget* parent, const QString& caption, const QString& start)
{
    const QString chosen = QFileDialog::getExistingDirectory(parent, caption, start, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}
