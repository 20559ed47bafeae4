#include <gtest/gtest.h>

#include <array>
#include <map>
#include <optional>
#include <string>

#include "settings/settings_store.h"
#include "upload/upload_request.h"

namespace nimbrel::testing {
namespace {

constexpr auto kWu = ServerIndex::WeatherUnderground;
constexpr auto kWc = ServerIndex::Weathercloud;

std::string Build(ServerIndex service, std::string_view parameters, std::u16string id,
                  std::u16string key, const UploadEndpoint& endpoint) {
  const auto request = BuildUploadRequest(service, parameters, true, {id, key}, endpoint);
  return request ? request->text : "<none>";
}

TEST(UploadRequestTest, BytesOfEachService) {
  EXPECT_EQ(
      Build(kWu, "tempf=71.2&humidity=40&dateutc=now", u"KXX123", u"s3cret", DefaultEndpoint(kWu)),
      "GET /weatherstation/updateweatherstation.php?ID=KXX123&PASSWORD=s3cret&"
      "tempf=71.2&humidity=40&dateutc=now&softwaretype=vws%20versionxx&action=updateraw&"
      "realtime=1&rtfreq2.5 HTTP/1.0\r\nHost:  rtupdate.wunderground.com\r\n\r\n");
  // A space and an ampersand stay as they are; e-acute, the euro sign and an emoji (a surrogate
  // pair) each go out once, as UTF-8.
  EXPECT_EQ(Build(kWc, "/t/1", u"my st&tion", u"cl\u00e9\u20ac\U0001F600", DefaultEndpoint(kWc)),
            "GET /v01/set/wid/my st&tion/key/cl\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80/t/1 "
            "HTTP/1.0\r\nHost:  api.weathercloud.net\r\n\r\n");
  // Texts are cut to 63 characters.
  EXPECT_EQ(Build(kWc, "", std::u16string(70, u'i'), u"k", {.host = "127.0.0.1", .port = 8080}),
            "GET /v01/set/wid/" + std::string(63, 'i') +
                "/key/k HTTP/1.0\r\nHost:  127.0.0.1:8080\r\n\r\n");
  EXPECT_TRUE(Build(kWc, "", u"a", u"b", {.host = "wx.example"})
                  .ends_with("\r\nHost:  wx.example\r\n\r\n"));

  const UploadEndpoint endpoint = DefaultEndpoint(kWu);
  EXPECT_FALSE(BuildUploadRequest(kWu, "p", false, {u"id", u"key"}, endpoint));
  EXPECT_FALSE(BuildUploadRequest(kWu, "p", true, {u"", u"key"}, endpoint));
  EXPECT_FALSE(BuildUploadRequest(kWc, "p", true, {u"id", u""}, endpoint));
}

TEST(UploadRequestTest, ParameterTextEndsAtZeroOrAtItsLimit) {
  std::array<char, 1024> payload{};
  payload.fill('x');
  EXPECT_EQ(ParameterText(payload), std::string(1023, 'x'));
  payload[5] = '\0';
  EXPECT_EQ(ParameterText(payload), "xxxxx");
}

TEST(UploadRequestTest, LongRequestIsKeptWhole) {
  const std::string parameters(1023, 'p');
  const std::string text = Build(kWu, parameters, std::u16string(63, u'i'),
                                 std::u16string(63, u'k'), DefaultEndpoint(kWu));
  EXPECT_GT(text.size(), 1023U);
  EXPECT_NE(text.find("&" + parameters + "&softwaretype="), std::string::npos);
  EXPECT_TRUE(text.ends_with("\r\n\r\n"));
}

TEST(UploadRequestTest, MaskedRequestLineHidesTheKey) {
  const auto request =
      BuildUploadRequest(kWu, "t=1", true, {u"ID9", u"hunter2"}, DefaultEndpoint(kWu));
  ASSERT_TRUE(request);
  EXPECT_EQ(MaskedRequestLine(*request),
            "GET /weatherstation/updateweatherstation.php?ID=ID9&PASSWORD=***&t=1&softwaretype="
            "vws%20versionxx&action=updateraw&realtime=1&rtfreq2.5 HTTP/1.0");
}

TEST(UploadRequestTest, ParseEndpoint) {
  EXPECT_EQ(ParseEndpoint("wx.example.org"), (UploadEndpoint{"wx.example.org", 80}));
  EXPECT_EQ(ParseEndpoint("127.0.0.1:65535"), (UploadEndpoint{"127.0.0.1", 65535}));
  for (const std::string_view bad : {"", ":80", "host:", "host:0", "host:65536", "host:8o",
                                     "host:-1", "a b", "a\r\nX: y", "host:80:81", "[::1]:80"}) {
    EXPECT_FALSE(ParseEndpoint(bad)) << bad;
  }
  EXPECT_FALSE(ParseEndpoint(std::string(128, 'h')));
}

// Values kept in memory, as the store's backend.
class MemoryBackend final : public SettingsBackend {
 public:
  std::optional<std::size_t> ReadValue(std::string_view name,
                                       std::span<std::byte> destination) const override {
    const auto found = values_.find(std::string(name));
    if (found == values_.end() || found->second.size() > destination.size()) {
      return std::nullopt;
    }
    std::copy(found->second.begin(), found->second.end(), destination.begin());
    return found->second.size();
  }
  bool WriteValue(std::string_view name, std::span<const std::byte> bytes) override {
    values_[std::string(name)].assign(bytes.begin(), bytes.end());
    return true;
  }

 private:
  std::map<std::string, std::vector<std::byte>> values_;
};

TEST(UploadRequestTest, SelectedServiceUsesEditTextsTheOtherItsStoredOnes) {
  MemoryBackend backend;
  SettingsStore store(backend);
  store.WriteStationIdAndKey(kWu, {u"storedWu", u"storedWuKey"});
  store.WriteStationIdAndKey(kWc, {u"storedWc", u"storedWcKey"});
  ServerSettings settings;
  settings.serverIndex = kWu;
  settings.Service(kWu).autoUpload = true;
  settings.Service(kWc).autoUpload = true;
  const PanelOrStoredTexts texts(settings, store, [] {
    return StationIdAndKey{u"typedId", u"typedKey"};
  });
  const UploadEndpoints endpoints;

  const auto wu = BuildUploadRequest(kWu, "x=1", settings, texts, endpoints);
  const auto wc = BuildUploadRequest(kWc, "/x/1", settings, texts, endpoints);
  ASSERT_TRUE(wu && wc);
  EXPECT_NE(wu->text.find("?ID=typedId&PASSWORD=typedKey&x=1&"), std::string::npos);
  EXPECT_NE(wc->text.find("/wid/storedWc/key/storedWcKey/x/1 "), std::string::npos);

  settings.serverIndex = kWc;  // the panel now shows Weathercloud
  EXPECT_NE(BuildUploadRequest(kWu, "x=1", settings, texts, endpoints)->text.find("ID=storedWu&"),
            std::string::npos);
  settings.Service(kWc).autoUpload = false;
  EXPECT_FALSE(BuildUploadRequest(kWc, "/x/1", settings, texts, endpoints));
}

}  // namespace
}  // namespace nimbrel::testing
