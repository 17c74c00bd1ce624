#include "vxi11_peer.h"

#include <sys/socket.h>

namespace hvzelta::visa::testing {
namespace {

struct Call {
  std::uint32_t xid = 0;
  std::uint32_t procedure = 0;
  std::string arguments;
  std::size_t at = 0;

  std::uint32_t U32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4 && at < arguments.size(); ++i, ++at)
      value = (value << 8) | static_cast<unsigned char>(arguments[at]);
    return value;
  }
  void Skip(int words) {
    while (words-- > 0) U32();
  }
  std::string Opaque() {
    std::uint32_t size = U32();
    std::string bytes = arguments.substr(at, size);
    at += size + (4 - size % 4) % 4;
    return bytes;
  }
};

void Put(std::string& out, std::uint32_t value) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>(value >> (8 * i)));
}

bool ReceiveCall(int fd, Call& call) {
  std::string record;
  for (bool last = false; !last;) {
    unsigned char mark[4];
    if (!ReceiveExactly(fd, mark, 4)) return false;
    last = mark[0] & 0x80;
    std::size_t size = ((mark[0] & 0x7Fu) << 24) | (mark[1] << 16) | (mark[2] << 8) | mark[3];
    if (record.size() + size > (1u << 22)) return false;
    std::size_t old = record.size();
    record.resize(old + size);
    if (size && !ReceiveExactly(fd, record.data() + old, size)) return false;
  }
  call = Call{};
  call.arguments = record;
  call.xid = call.U32();
  call.Skip(4);  // message type, RPC version, program, version
  call.procedure = call.U32();
  for (int i = 0; i < 2; ++i) {  // credentials and verifier
    call.Skip(1);
    call.Opaque();
  }
  return true;
}

bool Reply(int fd, std::uint32_t xid, const std::string& results) {
  std::string body;
  Put(body, xid);
  Put(body, 1);  // reply
  Put(body, 0);  // accepted
  Put(body, 0);
  Put(body, 0);  // null verifier
  Put(body, 0);  // success
  body += results;
  std::string record;
  Put(record, 0x80000000u | static_cast<std::uint32_t>(body.size()));
  return SendBytes(fd, record + body);
}

std::string Words(std::initializer_list<std::uint32_t> words) {
  std::string out;
  for (auto word : words) Put(out, word);
  return out;
}

std::string OpaqueOf(const std::string& bytes) {
  std::string out;
  Put(out, static_cast<std::uint32_t>(bytes.size()));
  out += bytes;
  out.append((4 - bytes.size() % 4) % 4, '\0');
  return out;
}

}  // namespace

Vxi11Peer::Vxi11Peer(Responder responder, std::uint32_t maxReceiveSize, std::uint32_t linkError)
    : responder_(std::move(responder)),
      maxReceiveSize_(maxReceiveSize),
      linkError_(linkError),
      core_([this](LoopbackPeer& peer) { ServeCore(peer); }),
      portmapper_([this](LoopbackPeer& peer) {
        for (int connection = 0; connection < 4; ++connection) {
          int fd = peer.Accept();
          Call call;
          if (fd < 0 || !ReceiveCall(fd, call)) return;
          Reply(fd, call.xid, Words({core_.Port()}));
        }
      }) {}

Vxi11Peer::Seen Vxi11Peer::Snapshot() {
  std::lock_guard lock(mutex_);
  return seen_;
}

void Vxi11Peer::ServeCore(LoopbackPeer& peer) {
  for (int connection = 0; connection < 4; ++connection) {
    int fd = peer.Accept();
    if (fd < 0) return;
    std::string pending;
    std::string answer;
    Call call;
    while (ReceiveCall(fd, call)) {
      std::lock_guard lock(mutex_);
      std::string results;
      switch (call.procedure) {
        case 10:  // create_link
          call.Skip(3);
          seen_.device = call.Opaque();
          results = Words({linkError_, 7, 0, maxReceiveSize_});
          break;
        case 11: {  // device_write
          call.Skip(3);
          std::uint32_t flags = call.U32();
          std::string data = call.Opaque();
          seen_.writeFlags.push_back(flags);
          pending += data;
          results = Words({0, static_cast<std::uint32_t>(data.size())});
          if (flags & 8) {
            seen_.messages.push_back(pending);
            answer = responder_(pending);
            pending.clear();
          }
          break;
        }
        case 12: {  // device_read
          call.Skip(1);
          std::uint32_t request = call.U32();
          seen_.readTimeouts.push_back(call.U32());
          call.Skip(1);
          std::uint32_t flags = call.U32();
          char termChar = static_cast<char>(call.U32());
          if (answer == kDrop) {
            ::shutdown(fd, SHUT_RDWR);
            return;
          }
          if (answer == kGarbage) {
            SendBytes(fd, std::string("\x80\x00\x00\x08garbage!", 12));
            answer.clear();
            continue;
          }
          std::size_t size = std::min<std::size_t>(request, answer.size());
          std::uint32_t reason = 0;
          if (flags & 128) {
            auto term = answer.find(termChar);
            if (term != std::string::npos && term < size) {
              size = term + 1;
              reason |= 2;
            }
          }
          if (size == answer.size()) reason |= 4;
          if (size == request) reason |= 1;
          results = Words({0, reason}) + OpaqueOf(answer.substr(0, size));
          answer.erase(0, size);
          break;
        }
        case 18:  // device_lock, device_unlock and destroy_link
        case 19:
        case 23:
          ++(call.procedure == 18 ? seen_.locks : call.procedure == 19 ? seen_.unlocks : seen_.destroyedLinks);
          results = Words({0});
          break;
        default:
          results = Words({8});
      }
      if (!Reply(fd, call.xid, results)) break;
    }
  }
}

}  // namespace hvzelta::visa::testing
