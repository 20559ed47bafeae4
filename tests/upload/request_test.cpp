#include <gtest/gtest.h>

#include <optional>
#include <string>

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
  const auto wu = BuildUploadRequest(kWu, "tempf=71.2&humidity=40&dateutc=now", true,
                                     {u"KXX123", u"s3cret"}, DefaultEndpoint(kWu));
  ASSERT_TRUE(wu);
  EXPECT_EQ(wu->text,
            "GET /weatherstation/updateweatherstation.php?ID=KXX123&PASSWORD=s3cret&"
            "tempf=71.2&humidity=40&dateutc=now&softwaretype=vws%20versionxx&action=updateraw&"
            "realtime=1&rtfreq2.5 HTTP/1.0\r\nHost:  rtupdate.wunderground.com\r\n\r\n");
  EXPECT_EQ(MaskedRequestLine(*wu),
            "GET /weatherstation/updateweatherstation.php?ID=KXX123&PASSWORD=***&tempf=71.2&"
            "humidity=40&dateutc=now&softwaretype=vws%20versionxx&action=updateraw&realtime=1&"
            "rtfreq2.5 HTTP/1.0");
  // A space and an ampersand stay as they are; e-acute, the euro sign and an emoji (a surrogate
  // pair) each go out once, as UTF-8. The parameters end at their first zero byte.
  EXPECT_EQ(Build(kWc, std::string_view("/t/1\0/x/2", 9), u"my st&tion",
                  u"cl\u00e9\u20ac\U0001F600", DefaultEndpoint(kWc)),
            "GET /v01/set/wid/my st&tion/key/cl\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80/t/1 "
            "HTTP/1.0\r\nHost:  api.weathercloud.net\r\n\r\n");
  // Texts are cut to 63 characters.
  EXPECT_EQ(Build(kWc, "", std::u16string(70, u'i'), u"k", {.host = "127.0.0.1", .port = 8080}),
            "GET /v01/set/wid/" + std::string(63, 'i') +
                "/key/k HTTP/1.0\r\nHost:  127.0.0.1:8080\r\n\r\n");
  EXPECT_TRUE(Build(kWc, "", u"a", u"b", {.host = "wx.example"})
                  .ends_with("\r\nHost:  wx.example\r\n\r\n"));
  // Parameters are cut to 1023 bytes, and a request longer than that is kept whole.
  const std::string text = Build(kWu, std::string(1100, 'p'), std::u16string(63, u'i'),
                                 std::u16string(63, u'k'), DefaultEndpoint(kWu));
  EXPECT_NE(text.find("&" + std::string(1023, 'p') + "&softwaretype="), std::string::npos);
  EXPECT_TRUE(text.ends_with(" HTTP/1.0\r\nHost:  rtupdate.wunderground.com\r\n\r\n"));
  // Nothing without Auto Upload, an ID or a key.
  EXPECT_FALSE(BuildUploadRequest(kWu, "p", false, {u"id", u"key"}, DefaultEndpoint(kWu)));
  EXPECT_EQ(Build(kWu, "p", u"", u"key", DefaultEndpoint(kWu)), "<none>");
  EXPECT_EQ(Build(kWc, "p", u"id", u"", DefaultEndpoint(kWc)), "<none>");
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

}  // namespace
}  // namespace nimbrel::testing
