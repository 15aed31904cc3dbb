#include <cstring>

#include "platform/text_format.h"
#include "platform/udp_channel.h"

namespace volantis {

std::string UdpAddress::DottedText() const {
  return FormatText("%u.%u.%u.%u", static_cast<unsigned>(octets[0]), static_cast<unsigned>(octets[1]),
                    static_cast<unsigned>(octets[2]), static_cast<unsigned>(octets[3]));
}

bool UdpAddress::SameEndpoint(const UdpAddress& other) const {
  return port == other.port && std::memcmp(octets, other.octets, sizeof(octets)) == 0;
}

}  // namespace volantis
