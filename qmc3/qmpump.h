#pragma once
// The process-wide message pump used by long loops of the library (codecs, waits), so that a
// single-threaded program keeps its window responsive. It does nothing until a program sets a hook,
// usually one that calls QCoreApplication::processEvents().

#include <functional>

using TMessagePump = std::function<void()>;

// Installs the hook; an empty function turns pumping off again.
void SetMessagePump(TMessagePump pump);

// Runs the hook, at most once every few milliseconds: codec loops may call it per line or per
// paragraph without paying for an event-loop pass each time.
void ProcessMessages();

// Runs the hook now, regardless of when it last ran (waits that must see new events call this).
void ProcessMessagesNow();
