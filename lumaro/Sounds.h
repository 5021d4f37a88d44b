#pragma once
// The new-mail and no-mail sounds. Playback is asynchronous; a missing file or a machine without an
// audio device is no error, so nothing is reported.

#include <QString>

void PlaySoundFile(const QString& path);
