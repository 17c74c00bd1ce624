#include "visa/hislip_protocol.h"

namespace hvzelta::visa::hislip {

void EncodeHeader(const Header& header, ViByte* out) {
  out[0] = 'H';
  out[1] = 'S';
  out[2] = header.type;
  out[3] = header.control;
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<ViByte>(header.parameter >> (24 - 8 * i));
  for (int i = 0; i < 8; ++i) out[8 + i] = static_cast<ViByte>(header.length >> (56 - 8 * i));
}

bool DecodeHeader(const ViByte* in, Header& header) {
  if (in[0] != 'H' || in[1] != 'S') return false;
  header.type = in[2];
  header.control = in[3];
  header.parameter = 0;
  for (int i = 0; i < 4; ++i) header.parameter = (header.parameter << 8) | in[4 + i];
  header.length = 0;
  for (int i = 0; i < 8; ++i) header.length = (header.length << 8) | in[8 + i];
  return true;
}

}  // namespace hvzelta::visa::hislip
