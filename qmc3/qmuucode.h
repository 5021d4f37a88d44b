#pragma once
// uuencode: the begin line of an uuencoded file and the line codec. Zero is written as a backquote.

#include <QByteArray>
#include <QByteArrayView>

// True when the line begins an uuencoded file ("begin 644 name").
bool IsUUCodeStart(QByteArrayView line);
// The file name of a begin line; a quoted name runs to the closing quote.
QByteArray UUPickFileName(QByteArrayView line);

// Decodes one uuencoded line (length character included) into `bytes`, replacing its content.
// Throws EMessageParserError "Invalid Character" for characters outside the alphabet.
void UUMakeBinData(QByteArrayView line, QByteArray& bytes);
// Encodes up to 45 bytes into one uuencoded line, length character included.
void UUMakeTextData(QByteArrayView bytes, QByteArray& line);
