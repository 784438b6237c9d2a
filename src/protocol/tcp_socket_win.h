// One TCP connection to the tips server per exchange: connect, send one
// command, read until the server closes, decode once.
//
// Every wait also watches an abandon event, ahead of the socket: once the
// service stop signals it, a connect, send or receive in progress returns at
// once as failed, and none starts.
// Each wait is bounded by kNetworkTimeoutMs as well.
#pragma once

#include <winsock2.h>

#include <cstdint>

#include "platform/handles.h"

class CNetCommand;

class CTcpSocket {
public:
    // A stream socket of the internet family. `abandon` (not owned) may be
    // null: then only the time-out ends a wait.
    explicit CTcpSocket(HANDLE abandon = nullptr);
    virtual ~CTcpSocket();
    CTcpSocket(const CTcpSocket&) = delete;
    CTcpSocket& operator=(const CTcpSocket&) = delete;

    // 0 when connected, else SOCKET_ERROR with the socket error set:
    // WSAHOST_NOT_FOUND when the host name does not resolve.
    int Connect(const char* host, uint16_t port);
    // Bytes sent, or SOCKET_ERROR.
    int Send(const char* buffer, int length);
    // Bytes received, 0 when the peer has closed, or SOCKET_ERROR.
    int Recv(char* buffer, int length);
    int Close();

private:
    // Waits for the next network event on the socket and returns the events
    // seen; -1 on abandon, time-out or a failed connect.
    long WaitFor();
    // True (and WSAEINTR set) once the abandon event is signalled.
    bool Abandoned() const;

    SOCKET m_socket;
    handles::Kernel m_ready;
    HANDLE m_abandon;
};

// Encodes the command into the buffer and sends it whole. 1 on success; 0
// when the packet did not fit the buffer (nothing is sent) or the connection
// refused more bytes.
int SendCommand(CTcpSocket& socket, CNetCommand& command, uint8_t* buffer, uint32_t capacity);
// Reads until the peer closes, the buffer is full, or the connection fails;
// returns the bytes received. `failure` (may be null) gets the socket error
// that ended the reading, or 0 when the peer closed or the buffer filled.
uint32_t ReceiveAll(CTcpSocket& socket, uint8_t* buffer, uint32_t capacity, int* failure = nullptr);

// Four non-empty groups of ASCII digits separated by single dots.
bool IsDottedAddress(const char* host);
