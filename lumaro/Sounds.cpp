#include "Sounds.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

void PlaySoundFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return;
    // One effect for the process: it must outlive this call to go on playing.
    static QSoundEffect* effect = new QSoundEffect;
    effect->stop();
    effect->setSource(QUrl::fromLocalFile(path));
    effect->play();
}
