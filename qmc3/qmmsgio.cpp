#include "qmmsg.h"

#include "qmpars.h"

void TqmMessage::LoadFromStream(QIODevice& stream)
{
    TqmMessageDecoder(stream, *this).Process();
}

void TqmMessage::SaveToStream(QIODevice& stream)
{
    TqmMessageEncoder(*this, stream).Process();
}
