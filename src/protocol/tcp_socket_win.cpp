#include "protocol/tcp_socket_win.h"

#include <string>

#include "protocol/host_lookup_win.h"
#include "protocol/net_command.h"
#include "platform/network_timeout_win.h"

namespace {

bool AllDigits(const char* begin, const char* end) {
    if (begin == end) return false;
    for (const char* p = begin; p != end; ++p) {
        if (*p < '0' || *p > '9') return false;
    }
    return true;
}

}  // namespace

bool IsDottedAddress(const char* host) {
    if (host == nullptr) return false;
    const char* group = host;
    for (int dots = 0; dots < 3; ++dots) {
        const char* dot = strchr(group, '.');
        if (dot == nullptr || !AllDigits(group, dot)) return false;
        group = dot + 1;
    }
    return AllDigits(group, group + strlen(group));
}

CTcpSocket::CTcpSocket(HANDLE abandon) : m_socket(socket(AF_INET, SOCK_STREAM, 0)), m_abandon(abandon) {
    if (m_socket == INVALID_SOCKET) return;
    // Event selection also makes the socket non-blocking, so that every
    // wait can watch the abandon event and the time-out.
    // A socket event is a kernel event object: its owner closes it.
    m_ready.reset(WSACreateEvent());
    if (!m_ready || WSAEventSelect(m_socket, m_ready.get(), FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) Close();
}

CTcpSocket::~CTcpSocket() { Close(); }

int CTcpSocket::Close() {
    if (m_socket == INVALID_SOCKET || m_socket == 0) return 0;
    const int result = closesocket(m_socket);
    m_socket = 0;
    return result;
}

bool CTcpSocket::Abandoned() const {
    if (m_abandon == nullptr || WaitForSingleObject(m_abandon, 0) != WAIT_OBJECT_0) return false;
    WSASetLastError(WSAEINTR);
    return true;
}

long CTcpSocket::WaitFor() {
    // The abandon event first: when both are signalled, the stop wins.
    HANDLE waits[2] = {m_abandon, m_ready.get()};
    const DWORD result = m_abandon != nullptr ? WaitForMultipleObjects(2, waits, FALSE, kNetworkTimeoutMs)
                                             : WaitForSingleObject(m_ready.get(), kNetworkTimeoutMs);
    const DWORD ready = m_abandon != nullptr ? WAIT_OBJECT_0 + 1 : WAIT_OBJECT_0;
    if (result != ready) {
        WSASetLastError(result == WAIT_TIMEOUT ? WSAETIMEDOUT : WSAEINTR);
        return -1;
    }
    WSANETWORKEVENTS seen{};
    if (WSAEnumNetworkEvents(m_socket, m_ready.get(), &seen) != 0) return -1;
    if ((seen.lNetworkEvents & FD_CONNECT) && seen.iErrorCode[FD_CONNECT_BIT] != 0) {
        WSASetLastError(seen.iErrorCode[FD_CONNECT_BIT]);
        return -1;
    }
    return seen.lNetworkEvents;
}

int CTcpSocket::Connect(const char* host, uint16_t port) {
    if (m_socket == INVALID_SOCKET || m_socket == 0 || Abandoned()) return SOCKET_ERROR;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    const std::string name(host != nullptr ? host : "");
    if (IsDottedAddress(name.c_str())) {
        address.sin_addr.s_addr = inet_addr(name.c_str());
    } else if (const int found = LookUpHost(name.c_str(), m_abandon, &address.sin_addr); found != 1) {
        if (!Abandoned()) WSASetLastError(found == 0 ? WSAHOST_NOT_FOUND : WSAETIMEDOUT);
        return SOCKET_ERROR;
    }
    // A lookup that ended as the stop came starts no connection.
    if (Abandoned()) return SOCKET_ERROR;
    if (connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return 0;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return SOCKET_ERROR;
    // FD_CONNECT is signalled once, with the outcome.
    for (;;) {
        const long seen = WaitFor();
        if (seen < 0) return SOCKET_ERROR;
        if (seen & FD_CONNECT) return 0;
    }
}

int CTcpSocket::Send(const char* buffer, int length) {
    for (;;) {
        if (Abandoned()) return SOCKET_ERROR;
        const int sent = send(m_socket, buffer, length, 0);
        if (sent != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK) return sent;
        if (WaitFor() < 0) return SOCKET_ERROR;
    }
}

int CTcpSocket::Recv(char* buffer, int length) {
    for (;;) {
        if (Abandoned()) return SOCKET_ERROR;
        const int received = recv(m_socket, buffer, length, 0);
        if (received != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK) return received;
        if (WaitFor() < 0) return SOCKET_ERROR;
    }
}

int SendCommand(CTcpSocket& socket, CNetCommand& command, uint8_t* buffer, uint32_t capacity) {
    uint32_t length = capacity;
    command.Encode(buffer, length);
    // Encode leaves the length as it was when the packet did not fit: there
    // is nothing valid to send then.
    if (length == capacity && command.GetPacketLength() != capacity) return 0;
    if (length == 0) return 1;
    uint32_t sent = 0;
    while (sent < length) {
        const int step = socket.Send(reinterpret_cast<const char*>(buffer) + sent,
                                     static_cast<int>(length - sent));
        if (step <= 0) return 0;
        sent += static_cast<uint32_t>(step);
    }
    return 1;
}

uint32_t ReceiveAll(CTcpSocket& socket, uint8_t* buffer, uint32_t capacity, int* failure) {
    uint32_t received = 0;
    if (failure != nullptr) *failure = 0;
    while (received < capacity) {
        const int step = socket.Recv(reinterpret_cast<char*>(buffer) + received,
                                     static_cast<int>(capacity - received));
        if (step < 0 && failure != nullptr) *failure = WSAGetLastError();
        if (step <= 0) break;
        received += static_cast<uint32_t>(step);
    }
    return received;
}
