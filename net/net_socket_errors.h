// Socket error codes on the Winsock numbering, with their texts, and the mapping from POSIX errno
// and name-lookup failures onto them.
#pragma once

#include <string>

#include "net/net_exceptions.h"

namespace tovalin::net {

constexpr int kCodeInterrupted = 10004;
constexpr int kCodeAddressInUse = 10048;
constexpr int kCodeAddressNotAvailable = 10049;
constexpr int kCodeConnAborted = 10053;
constexpr int kCodeConnReset = 10054;
constexpr int kCodeShutdown = 10058;
constexpr int kCodeTimedOut = 10060;
constexpr int kCodeConnRefused = 10061;
constexpr int kCodeHostNotFound = 11001;

// The code for an errno value; an errno without a counterpart keeps its own number.
int SocketCodeFromErrno(int err);
// The text for a code; empty for a code outside the table.
std::string SocketErrorText(int code);
// "Socket Error # <code>" CR LF <text>.
ENetSocketError MakeSocketError(int code);
// A receive or send failure that means the peer has gone (shut down, aborted, reset).
bool IsConnectionLostCode(int code);

}  // namespace tovalin::net
