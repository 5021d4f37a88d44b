#pragma once
// Saves a picture of a window (offscreen grab) into $LUMARO_TEST_SCREENSHOTS, when it is set, for a
// person to look at what the window shows.

#include <QDir>
#include <QWidget>

inline void SaveScreenshot(QWidget& window, const QString& name)
{
    const QString dir = qEnvironmentVariable("LUMARO_TEST_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    window.grab().save(QDir(dir).filePath(name + QLatin1String(".png")));
}
