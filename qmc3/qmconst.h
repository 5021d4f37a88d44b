#pragma once
// The library's numbered texts: socket errors (10000-11004, written with their number in brackets)
// and library messages (57000-57289), in English or, for the texts the programs show, German.

#include <QByteArrayView>
#include <QString>

enum class TqmLanguage { English, German };

// English until a program sets its user's language.
void qmSetLanguage(TqmLanguage language);
// The text of a library message id; "Error #" and the number when the id has no text.
QString qmMessageText(int id);
// A line the server sent, as a person may read and copy it: control and invisible format
// characters written as "\x.." and "\u....", an empty line named as such.
QString qmReplyText(QByteArrayView reply);

// Ids of the library messages used across units.
enum TqmMessageId : int {
    qmOperationTimedOut = 57000,
    qmOperationCanceled = 57001,
    qmServerRequired = 57002,
    qmSenderRequired = 57100,
    qmRecipientRequired = 57101,
    qmMailMessageRequired = 57102,
    qmUserNameRequired = 57103,
    qmPasswordRequired = 57104,
    qmIDsAreDifferent = 57105,
    qmMimePreamble = 57106,
    qmUnableToRetrieveHeaders = 57107,
    qmMissingContentType = 57108,
    qmCannotFindClosingBoundary = 57109,
    qmCannotFindBoundary = 57110,
    qmErrorDecodingAttachment = 57111,
    qmAttachmentNameBlank = 57112,
    qmErrorExecutingAttachment = 57113,
    qmNestedTooDeeply = 57114,
    qmTlsNotOffered = 57120,
    qmTlsFailed = 57121,
    qmCertificateRejected = 57122,
    qmNoAuthMechanism = 57123,
    qmMessageTooLarge = 57124,
    qmBadChallenge = 57125,
    qmTlsInjection = 57126,
    qmMessageLargerThanAnnounced = 57127,
    qmPlainLogInRefused = 57128,
    qmTlsDowngrade = 57129,
    qmReplyOutOfTurn = 57130,
    qmEmptyReply = 57136,
    qmNotAServer = 57137,
    qmLogInRefused = 57138,
    qmReplyWithoutEnd = 57139,
    qmCertificateChanged = 57131,
    qmNoOAuth2Mechanism = 57230,
    qmMessageAboveLimit = 57160,
    qmMessageGrewAboveLimit = 57161,
    qmLineTooLongInHeader = 57150,
    qmLineTooLongUnknownEncoding = 57151,
    qmLineTooLongNoBoundary = 57152,
    qmLineTooLongNestedTooDeeply = 57153,
    qmStructureCut = 57154,
    qmUnnamedPart = 57170,
    qmUnnamedMessage = 57171,
    qmNoImapResponse = 57250,
    qmFolderNotOpened = 57251,
    qmBodyBeforeUid = 57252,
    qmExpungeWaits = 57253,
    qmAppendRefused = 57254,
    qmNoSentFolder = 57255,
    qmLiteralOverrun = 57256,
};
