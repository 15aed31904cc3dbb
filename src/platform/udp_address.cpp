#include "platform/text_format.h"
#include "platform/udp_channel.h"

namespace volantis {

std::string UdpAddress::DottedText() const {
  return FormatText("%u.%u.%u.%u", static_cast<unsigned>(octets[0]), static_cast<unsigned>(octets[1]),
                    static_cast<unsigned>(octets[2]), static_cast<unsigned>(octets[3]));
}

}  // namespace volantis
