#pragma once
// The images of the main window, drawn at run time: the folder tree's six images (Inbox, Outbox,
// folder, Sent/Templates, root, Trash), the message list's eight row images (read, attachment and
// held combined) and the status bar's user image.

#include <QIcon>
#include <QList>

QList<QIcon> FolderTreeImages();
QList<QIcon> MessageRowImages();
QIcon UserPanelImage();
