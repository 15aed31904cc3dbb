#include "server/validation_settings.h"

namespace volantis {

ValidationSettings ValidationSettings::From(const AppSettings& settings) {
  ValidationSettings copy;
  copy.server_ip = settings.server_ip;
  copy.server_port = settings.server_port;
  copy.player_name = settings.player_name;
  copy.version = settings.version;
  copy.sound_validate = settings.sound_validate;
  return copy;
}

}  // namespace volantis
