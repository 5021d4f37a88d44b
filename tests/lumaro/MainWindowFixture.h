#pragma once
// The main window as the window tests start it: shown offscreen, with the folder check and the first
// activation done (they run once the window is on screen).

#include "Main.h"

#include <QTest>

#include <memory>

// `frm` shown; nothing when it never came on screen or never activated a folder.
inline std::unique_ptr<TMainFrm> ShownMainWindow(std::unique_ptr<TMainFrm> frm)
{
    frm->show();
    if (!QTest::qWaitForWindowExposed(frm.get())
        || !QTest::qWaitFor([&] { return !frm->CurrentFolder().isEmpty(); }, 10000))
        return nullptr;
    return frm;
}
