#pragma once
// A RaceServerClient wired to fakes, with settings of a typical pilot.
#include <gtest/gtest.h>

#include "fakes.h"
#include "recording_log.h"
#include "server/race_server_client.h"

namespace volantis::testing {

class ClientFixture : public ::testing::Test {
 protected:
  ClientFixture() {
    settings_.server_ip = "tarvex.test";
    settings_.server_port = 8080;
    settings_.player_name = "Ann Lee";
    settings_.sound_validate = true;
  }

  RaceServerClient& Client() {
    if (!client_) client_ = std::make_unique<RaceServerClient>(settings_, log_, services_);
    return *client_;
  }

  AppSettings settings_;
  RecordingLog log_;
  FakeClock clock_;
  ScriptedHttp http_;
  ScriptedUdpChannel udp_{clock_};
  RecordingSound sound_;
  RecordingPoster poster_;
  ServerServices services_{http_, udp_, clock_, sound_, poster_};
  std::unique_ptr<RaceServerClient> client_;
};

}  // namespace volantis::testing
