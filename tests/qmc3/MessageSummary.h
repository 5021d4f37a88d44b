#pragma once
// A short, stable text dump of a parsed message, compared with the .summary files next to the
// sample messages in tests/data/messages and tests/data/mime.

#include <QByteArray>

class TqmMessage;
class QIODevice;

// `detailed` adds each attachment's parameters and Content-ID.
QByteArray MessageSummary(const TqmMessage& message, bool detailed = false);

// Parses `input` into `message` the way TqmMessage::LoadFromStream does; `bufSize` 0 keeps the
// default chunk size.
void ParseMessage(QIODevice& input, TqmMessage& message, qsizetype bufSize = 0);
QByteArray ParseToSummary(const QByteArray& text, qsizetype bufSize = 0);
// Writes `message` with the encoder and returns the text.
QByteArray EncodeMessage(const TqmMessage& message);
