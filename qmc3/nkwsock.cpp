#include "nkwsock.h"

TnkWinsock& Winsock()
{
    static TnkWinsock instance;
    return instance;
}
