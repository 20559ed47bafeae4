// SPDX-License-Identifier: GPL-3.0-or-later
// The station service's rules that need no broker: broker addresses, the retry pauses, the
// discovery configs. The state object is checked against a
// real broker in serve_broker_test.cpp.
#include <gtest/gtest.h>

#include "service/mqtt_publisher.h"

namespace nimbrel {
namespace {

TEST(BrokerUrl, TakesMqttAndMqttsWithTheirDefaultPortsAndRefusesTheRest) {
  const std::pair<std::string_view, std::optional<BrokerAddress>> cases[] = {
      {"mqtt://127.0.0.1", BrokerAddress{"127.0.0.1", 1883, false}},
      {"mqtts://broker.example:8884/", BrokerAddress{"broker.example", 8884, true}},
      {"mqtts://[::1]", BrokerAddress{"::1", 8883, true}},
      {"mqtt://[::1]:1884", BrokerAddress{"::1", 1884, false}},
      {"http://host", std::nullopt},
      {"mqtt://", std::nullopt},
      {"mqtt://host:0", std::nullopt},
      {"mqtt://host:65536", std::nullopt},
      {"mqtt://host:12x", std::nullopt},
      {"mqtt://user@host", std::nullopt},
      {"mqtt://host/topic", std::nullopt},
  };
  for (const auto& [url, expected] : cases) {
    EXPECT_EQ(ParseBrokerUrl(url), expected) << url;
  }
  for (const std::string_view prefix : {"", "a/+", "#", "/a", "a/"}) {
    EXPECT_FALSE(ValidTopicPrefix(prefix)) << prefix;
  }
  EXPECT_TRUE(ValidTopicPrefix("home/weather"));
}

TEST(RetryPause, DoublesUpToItsLongestAndStartsAgainAfterAConnection) {
  RetryPause pause(std::chrono::seconds(1), std::chrono::minutes(1));
  std::vector<long> seconds;
  for (int i = 0; i < 8; ++i) {
    seconds.push_back(std::chrono::duration_cast<std::chrono::seconds>(pause.Next()).count());
  }
  EXPECT_EQ(seconds, (std::vector<long>{1, 2, 4, 8, 16, 32, 60, 60}));
  pause.Reset();
  EXPECT_EQ(pause.Next(), std::chrono::seconds(1));
}

// Every config names a key of the state, one device and ids Home Assistant accepts, whatever the
// prefix holds.
TEST(Discovery, OneConfigPerNumericKeyUnderOneDevice) {
  const std::vector<MqttMessage> configs = DiscoveryConfigs({"home/wx", "ha"});
  ASSERT_EQ(configs.size(), 33U);
  const MqttMessage& rate = configs[5];
  EXPECT_EQ(rate.topic, "ha/sensor/home_wx/rain_rate/config");
  EXPECT_TRUE(rate.retain);
  for (const std::string_view part :
       {"\"state_topic\":\"home/wx/state\"", "\"value_template\":\"{{ value_json.rain_rate }}\"",
        "\"unique_id\":\"nimbrel_home_wx_rain_rate\"", "\"availability_topic\":\"home/wx/status\"",
        "\"unit_of_measurement\":\"mm/h\"", "\"device_class\":\"precipitation_intensity\"",
        "\"state_class\":\"measurement\"", "\"expire_after\":900",
        "\"identifiers\":[\"nimbrel_home_wx\"]"}) {
    EXPECT_NE(rate.payload.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(configs.back().payload.find("device_class"), std::string::npos);  // logger
}

}  // namespace
}  // namespace nimbrel
