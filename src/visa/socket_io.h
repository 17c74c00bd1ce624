#pragma once

// TCP plumbing shared by the network transports: connecting within a
// deadline (name resolution included), and sending and receiving on a
// non-blocking socket with poll(), so that no call outlives its deadline and
// a closed or reset connection is reported as VI_ERROR_CONN_LOST.

#include <sys/uio.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "visa/deadline.h"
#include "visa/unique_fd.h"
#include "visa/visa_types.h"

namespace hvzelta::visa {

// Resolves `host` and connects to the first address that accepts. Gives
// VI_ERROR_RSRC_NFOUND when the name does not resolve, every address
// refuses, or the deadline passes first. The socket has TCP_NODELAY set and
// is in blocking mode, for receives that the kernel ends at a timeout
// (SO_RCVTIMEO): one system call for a reply instead of a poll and a
// receive. Every other call on it passes MSG_DONTWAIT and so never blocks.
ViStatus ConnectTcp(const std::string& host, std::uint16_t port, const Deadline& deadline, UniqueFd& socket);

// Sends every byte of the pieces, in order, as one stream; `sent` tells how
// many went out, also when the deadline or the connection ended first.
ViStatus SendAll(int fd, const iovec* pieces, int count, const Deadline& deadline, std::size_t* sent = nullptr);
ViStatus SendAll(int fd, const void* data, std::size_t size, const Deadline& deadline, std::size_t* sent = nullptr);

// Waits for at least one byte and stores up to `capacity` bytes. With
// `waitFirst` it waits before it tries, for when nothing can be there yet.
ViStatus ReceiveSome(int fd, void* buffer, std::size_t capacity, const Deadline& deadline, std::size_t& received,
                     bool waitFirst = false);

bool SetReceiveTimeout(int fd, std::chrono::milliseconds timeout);
// One receive on a blocking socket: VI_ERROR_TMO when the receive timeout
// passed, VI_SUCCESS with nothing received when a signal interrupted it.
ViStatus ReceiveBlocking(int fd, void* buffer, std::size_t capacity, std::size_t& received);

// Stores exactly `size` bytes unless the deadline or the connection ends first.
ViStatus ReceiveExact(int fd, void* buffer, std::size_t size, const Deadline& deadline);

// Drops whatever input has already arrived, without waiting.
void DiscardArrivedInput(int fd);

// Sets a boolean socket option (TCP_NODELAY, SO_KEEPALIVE).
ViStatus SetSocketFlag(int fd, int level, int option, bool on);
// Gives a replacement connection the flags the caller set on the old one.
void CopySocketFlags(int from, int to);

}  // namespace hvzelta::visa
