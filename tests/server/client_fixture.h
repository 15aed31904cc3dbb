#pragma once
// A RaceServerClient wired to fakes, with settings of a typical pilot. Every
// Client() call hands the client a fresh copy of settings_, as a run's start
// does, and the request numbers start from 0 (the first request is 1).
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
    client_->BeginRun(ValidationSettings::From(settings_));
    return *client_;
  }

  static uint32_t NoRandomness() { return 0; }

  AppSettings settings_;
  RecordingLog log_;
  FakeClock clock_;
  ScriptedHttp http_;
  ScriptedUdpChannel udp_{clock_};
  RecordingSound sound_;
  RecordingPoster poster_;
  ServerServices services_{http_, udp_, clock_, sound_, poster_, NoRandomness};
  std::unique_ptr<RaceServerClient> client_;
};

}  // namespace volantis::testing
