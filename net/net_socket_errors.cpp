#include "net/net_socket_errors.h"

#include <cerrno>

namespace tovalin::net {

int SocketCodeFromErrno(int err) {
    switch (err) {
        case EINTR:
            return 10004;
        case EBADF:
            return 10009;
        case EACCES:
        case EPERM:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:
            return 10024;
        case EAGAIN:
            return 10035;  // EWOULDBLOCK has the same value on Linux
        case EINPROGRESS:
            return 10036;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
            return 10038;
        case EDESTADDRREQ:
            return 10039;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case ENOPROTOOPT:
            return 10042;
        case EPROTONOSUPPORT:
            return 10043;
        case ESOCKTNOSUPPORT:
            return 10044;
        case EOPNOTSUPP:
            return 10045;
        case EPFNOSUPPORT:
            return 10046;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
            return 10053;
        case ECONNRESET:
            return 10054;
        case ENOBUFS:
        case ENOMEM:
            return 10055;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case EPIPE:
        case ESHUTDOWN:
            return 10058;
        case ETOOMANYREFS:
            return 10059;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case ELOOP:
            return 10062;
        case ENAMETOOLONG:
            return 10063;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return 10065;
        case ENOTEMPTY:
            return 10066;
        default:
            return err;
    }
}

std::string SocketErrorText(int code) {
    switch (code) {
        case 10004:
            return "Interrupted system call.";
        case 10009:
            return "Bad file number.";
        case 10013:
            return "Access denied.";
        case 10014:
            return "Buffer fault.";
        case 10022:
            return "Invalid argument.";
        case 10024:
            return "Too many open files.";
        case 10035:
            return "Operation would block.";
        case 10036:
            return "Operation now in progress.";
        case 10037:
            return "Operation already in progress.";
        case 10038:
            return "Socket operation on non-socket.";
        case 10039:
            return "Destination address required.";
        case 10040:
            return "Message too long.";
        case 10041:
            return "Protocol wrong type for socket.";
        case 10042:
            return "Bad protocol option.";
        case 10043:
            return "Protocol not supported.";
        case 10044:
            return "Socket type not supported.";
        case 10045:
            return "Operation not supported on socket.";
        case 10046:
            return "Protocol family not supported.";
        case 10047:
            return "Address family not supported by protocol family.";
        case 10048:
            return "Address already in use.";
        case 10049:
            return "Cannot assign requested address.";
        case 10050:
            return "Network is down.";
        case 10051:
            return "Network is unreachable.";
        case 10052:
            return "Net dropped connection or reset.";
        case 10053:
            return "Software caused connection abort.";
        case 10054:
            return "Connection reset by peer.";
        case 10055:
            return "No buffer space available.";
        case 10056:
            return "Socket is already connected.";
        case 10057:
            return "Socket is not connected.";
        case 10058:
            return "Cannot send or receive after socket is closed.";
        case 10059:
            return "Too many references, cannot splice.";
        case 10060:
            return "Connection timed out.";
        case 10061:
            return "Connection refused.";
        case 10062:
            return "Too many levels of symbolic links.";
        case 10063:
            return "File name too long.";
        case 10064:
            return "Host is down.";
        case 10065:
            return "No route to host.";
        case 10066:
            return "Directory not empty.";
        case 11001:
            return "Host not found.";
        default:
            return "";
    }
}

ENetSocketError MakeSocketError(int code) {
    return ENetSocketError(
        code, "Socket Error # " + std::to_string(code) + "\r\n" + SocketErrorText(code));
}

bool IsConnectionLostCode(int code) {
    return code == kCodeShutdown || code == kCodeConnAborted || code == kCodeConnReset;
}

}  // namespace tovalin::net
