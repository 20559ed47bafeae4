// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_store.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/settings_user.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>

#include "platform/settings_files.h"
#endif

namespace nimbrel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
constexpr auto kWu = ServerIndex::WeatherUnderground;
constexpr auto kWc = ServerIndex::Weathercloud;

// Each test runs against the current user's settings as the program finds them: on Windows the
// registry, with HKEY_CURRENT_USER redirected to a key of the test's own; elsewhere the files
// under an XDG_CONFIG_HOME of its own.
class SettingsUserTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A fresh backend and store, as at the next start of the program.
  SettingsStore& Store() {
    store_.reset();
    backend_ = OpenUserSettingsBackend();
    store_.emplace(*backend_);
    return *store_;
  }

  // The stored bytes of a value (on Windows also checked to be REG_BINARY), and a value put there
  // by another writer (on Windows with another type when `foreignType`).
  Bytes Stored(const std::string& name) const;
  void Put(const std::string& name, const Bytes& bytes, bool foreignType = false) const;
  // Where a value should be, something that is not one.
  void PutNonValue(const std::string& name) const;
  // The names stored, and whether anything at all exists of the program's settings.
  std::set<std::string> Names() const;
  bool AnythingStored() const;

#ifdef _WIN32
  static constexpr const wchar_t* kOwnKey = L"Software\\Nimbrel settings test";
  static constexpr const wchar_t* kFolder = L"Software\\Veltrane\\VID_1941&PID_8021";
  static std::wstring ValueKey(const std::string& name) {
    return kFolder + (L"\\" + std::wstring(name.begin(), name.end()));
  }
  HKEY own_ = nullptr;
#else
  static unsigned Mode(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
  }
  fs::path config_;
  fs::path folder_;
#endif
  std::unique_ptr<SettingsBackend> backend_;
  std::optional<SettingsStore> store_;
};

#ifdef _WIN32

void SettingsUserTest::SetUp() {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kOwnKey);
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kOwnKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &own_, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, own_), ERROR_SUCCESS);
}
void SettingsUserTest::TearDown() {
  store_.reset();
  backend_.reset();
  ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  ::RegCloseKey(own_);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kOwnKey);
}

Bytes SettingsUserTest::Stored(const std::string& name) const {
  const std::wstring value(name.begin(), name.end());
  DWORD type = 0;
  DWORD size = 0;
  Bytes bytes(1024);
  size = static_cast<DWORD>(bytes.size());
  if (::RegGetValueW(HKEY_CURRENT_USER, ValueKey(name).c_str(), value.c_str(),
                     RRF_RT_ANY | RRF_NOEXPAND, &type, bytes.data(), &size) != ERROR_SUCCESS) {
    return {};
  }
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY)) << name;
  bytes.resize(size);
  return bytes;
}
void SettingsUserTest::Put(const std::string& name, const Bytes& bytes, bool foreignType) const {
  const std::wstring value(name.begin(), name.end());
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, ValueKey(name).c_str(), value.c_str(),
                              foreignType ? REG_SZ : REG_BINARY, bytes.data(),
                              static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}
void SettingsUserTest::PutNonValue(const std::string& name) const {
  const std::wstring other(L"not " + std::wstring(name.begin(), name.end()));
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, ValueKey(name).c_str(), other.c_str(), REG_BINARY,
                              "x", 1),
            ERROR_SUCCESS);
}
std::set<std::string> SettingsUserTest::Names() const {
  std::set<std::string> names;
  HKEY folder = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kFolder, 0, KEY_READ, &folder) != 0) {
    return names;
  }
  wchar_t name[256];
  for (DWORD i = 0, length = 256; ::RegEnumKeyExW(folder, i, name, &length, nullptr, nullptr,
                                                  nullptr, nullptr) == ERROR_SUCCESS;
       ++i, length = 256) {
    names.insert(std::string(name, name + length));
  }
  ::RegCloseKey(folder);
  return names;
}
bool SettingsUserTest::AnythingStored() const {
  HKEY key = nullptr;
  const bool found =
      ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Veltrane", 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (found) {
    ::RegCloseKey(key);
  }
  return found;
}

#else

void SettingsUserTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "nimbrel-settings-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  config_ = pattern;
  ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  folder_ = config_ / "Veltrane" / "VID_1941&PID_8021";
}
void SettingsUserTest::TearDown() {
  ::unsetenv("XDG_CONFIG_HOME");
  fs::remove_all(config_);
}

Bytes SettingsUserTest::Stored(const std::string& name) const {
  std::ifstream in(folder_ / name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
void SettingsUserTest::Put(const std::string& name, const Bytes& bytes, bool) const {
  fs::create_directories(folder_);
  std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}
void SettingsUserTest::PutNonValue(const std::string& name) const {
  fs::create_directories(folder_ / name);
}
std::set<std::string> SettingsUserTest::Names() const {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}
bool SettingsUserTest::AnythingStored() const {
  return fs::exists(config_ / "Veltrane");
}

#endif

// The UTF-16LE form of a text, NUL, and zeros up to `size`.
Bytes StoredText(std::u16string_view text, std::size_t size) {
  Bytes bytes(size, 0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
  }
  return bytes;
}

TEST_F(SettingsUserTest, DefaultsAtFirstThenValuesSurviveARestartInTheirFixedLayouts) {
  const std::u16string stamp = u"01/ 02/ 2024, 13:05 PM";
  const UnitSettings units{TemperatureUnit::Fahrenheit, RainUnit::Inch,
                           PressureUnit::InHg,          WindSpeedUnit::Knots,
                           PressureType::Absolute,      WindDirectionFormat::Degrees360};
  {
    // A fresh account reads the defaults, and reading creates nothing.
    auto& store = Store();
    EXPECT_EQ(store.ReadLanguageAndService(), LanguageAndService{});
    EXPECT_EQ(store.ReadUnitSettings(), UnitSettings{});
    EXPECT_EQ(store.ReadStamp(), u"");
    EXPECT_EQ(store.ReadStationIdAndKey(kWc), StationIdAndKey{});
    EXPECT_FALSE(AnythingStored());
    EXPECT_TRUE(store.WriteStamp(stamp));
    EXPECT_TRUE(store.WriteStationIdAndKey(kWu, {u"KNYC\u20AC1", u"s3cr"}));
    EXPECT_TRUE(store.WriteStationIdAndKey(kWc, {u"wc-id", u"wc-key"}));
    EXPECT_TRUE(store.WriteUnitSettings(units));
    EXPECT_TRUE(store.WriteLanguageAndService({3, kWc}));
  }
  auto& store = Store();
  EXPECT_EQ(store.ReadStamp(), stamp);
  EXPECT_EQ(store.ReadStationIdAndKey(kWu), (StationIdAndKey{u"KNYC\u20AC1", u"s3cr"}));
  EXPECT_EQ(store.ReadStationIdAndKey(kWc), (StationIdAndKey{u"wc-id", u"wc-key"}));
  EXPECT_EQ(store.ReadUnitSettings(), units);
  EXPECT_EQ(store.ReadLanguageAndService(), (LanguageAndService{3, kWc}));

  EXPECT_EQ(Stored("Data"), StoredText(stamp, 64));
  EXPECT_EQ(Stored("Id"), StoredText(u"KNYC\u20AC1", 128));
  EXPECT_EQ(Stored("unit"), (Bytes{1, 1, 2, 3, 0, 1, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Stored("ls"), (Bytes{3, 1, 0, 0}));

  // Exactly the seven values, each for its owner only, and no temporary file left behind.
  EXPECT_EQ(Names(), (std::set<std::string>{"Data", "Id", "Key", "Id1", "Key1", "unit", "ls"}));
#ifndef _WIN32
  for (const auto& name : Names()) {
    EXPECT_EQ(Mode(folder_ / name), 0600U) << name;
  }
  EXPECT_EQ(Mode(config_ / "Veltrane"), 0700U);
  EXPECT_EQ(Mode(folder_), 0700U);
#endif
}

TEST_F(SettingsUserTest, RewriteReplacesTheWholeFileCutsLongTextsAndNeverClearsWithAnEmptyOne) {
  Put("Key", Bytes(200, 0x41));
#ifndef _WIN32
  fs::permissions(folder_ / "Key", fs::perms(0644));
#endif
  auto& store = Store();
  ASSERT_TRUE(store.WriteStationIdAndKey(kWu, {u"ABC", u"k"}));
  EXPECT_EQ(Stored("Key"), StoredText(u"k", 128));
#ifndef _WIN32
  EXPECT_EQ(Mode(folder_ / "Key"), 0600U);
#endif

  // The user cleared the ID box and quit.
  EXPECT_TRUE(store.WriteStationIdAndKey(kWu, {u"", u"k2"}));
  EXPECT_EQ(store.ReadStationIdAndKey(kWu), (StationIdAndKey{u"ABC", u"k2"}));
  EXPECT_EQ(Names(), (std::set<std::string>{"Id", "Key"}));
}

TEST_F(SettingsUserTest, StoredBytesAreCheckedAndShortValuesFillTheirLength) {
  auto& store = Store();
  using enum TemperatureUnit;
  using enum RainUnit;
  using enum PressureUnit;
  using enum WindSpeedUnit;
  using enum PressureType;
  using enum WindDirectionFormat;
  const UnitSettings preset{Celsius, Inch, MmHg, Mph, Absolute, Degrees360};
  const std::pair<Bytes, UnitSettings> cases[] = {
      // Rain 2, pressure 9 and direction 5 are outside their lists: those take their defaults.
      {{1, 2, 9, 3, 0, 5, 0, 0, 0, 0, 0, 0},
       {Fahrenheit, Millimetre, Hpa, Knots, Absolute, Points16}},
      // An older writer's 8 bytes: bytes 0 to 5 taken.
      {{1, 1, 2, 3, 1, 0, 7, 7}, {Fahrenheit, Inch, InHg, Knots, Relative, Points16}},
      // Only 4 bytes: the last two units keep the preset.
      {{1, 1, 2, 3}, {Fahrenheit, Inch, InHg, Knots, Absolute, Degrees360}},
      {Bytes(13, 1), preset},  // too long: missing
  };
  for (const auto& [stored, expected] : cases) {
    Put("unit", stored);
    EXPECT_EQ(store.ReadUnitSettings(preset), expected) << testing::PrintToString(stored);
  }
  // Another writer's type (a text, on Windows) of the right size reads as the bytes it holds.
  Put("unit", {1, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0}, true);
  EXPECT_EQ(store.ReadUnitSettings(),
            (UnitSettings{Fahrenheit, Millimetre, MmHg, MetresPerSecond, Absolute, Degrees360}));
  // Language above 4 and service above 1 read as 0; too long is missing.
  const std::pair<Bytes, LanguageAndService> languages[] = {
      {{5, 1, 0, 0}, {0, kWc}}, {{2, 7, 0, 0}, {2, kWu}},    {{4, 1, 9, 9}, {4, kWc}},
      {{3}, {3, kWu}},          {{1, 1, 0, 0, 0}, {0, kWu}},
  };
  for (const auto& [stored, expected] : languages) {
    Put("ls", stored);
    EXPECT_EQ(store.ReadLanguageAndService(), expected) << testing::PrintToString(stored);
  }
  EXPECT_TRUE(store.WriteLanguageAndService({9, kWc}));
  EXPECT_EQ(Stored("ls"), (Bytes{0, 1, 0, 0}));

  // A text of odd length: the last unit gets its high byte from the zero preset.
  Put("Id", {'A', 0, 'B', 0, 'C'}, true);
  EXPECT_EQ(store.ReadStationIdAndKey(kWu).id, u"ABC");
  PutNonValue("Key");
  EXPECT_EQ(store.ReadStationIdAndKey(kWu).key, u"");
}

TEST_F(SettingsUserTest, LongTextsAreCutWithoutSplittingACharacter) {
  auto& store = Store();
  ASSERT_TRUE(store.WriteStationIdAndKey(kWc, {std::u16string(70, u'x'), u"k"}));
  EXPECT_EQ(Stored("Id1"), StoredText(std::u16string(63, u'x'), 128));

  // U+1F600 would straddle the 63rd unit: it is left out whole.
  ASSERT_TRUE(store.WriteStationIdAndKey(kWc, {std::u16string(62, u'y') + u"\U0001F600", u"k"}));
  EXPECT_EQ(store.ReadStationIdAndKey(kWc).id, std::u16string(62, u'y'));

  ASSERT_TRUE(store.WriteStamp(std::u16string(40, u'9')));
  EXPECT_EQ(store.ReadStamp(), std::u16string(31, u'9'));

  // A stored text without its NUL ends at the limit.
  Put("Key", StoredText(std::u16string(64, u'z'), 128));
  EXPECT_EQ(store.ReadStationIdAndKey(kWu).key, std::u16string(63, u'z'));
}

#ifndef _WIN32
TEST_F(SettingsUserTest, FailedWritesAreSilentAndLeaveNoTemporaryFile) {
  fs::create_directories(folder_ / "Data");  // a folder where the value should go
  EXPECT_FALSE(Store().WriteStamp(u"12/ 31/ 2023, 23:59 PM"));
  EXPECT_EQ(Names(), std::set<std::string>{"Data"});

  fs::remove_all(config_ / "Veltrane");
  std::ofstream(config_ / "Veltrane") << "in the way";
  EXPECT_FALSE(Store().WriteUnitSettings({}));
  EXPECT_EQ(Store().ReadUnitSettings(), UnitSettings{});
}
#endif

// Like the registry with a value too long for the buffer: fills the buffer, then fails.
class ScribblingBackend final : public SettingsBackend {
 public:
  std::optional<std::size_t> ReadValue(std::string_view,
                                       std::span<std::byte> destination) const override {
    std::fill(destination.begin(), destination.end(), std::byte{0x55});
    return std::nullopt;
  }
  bool WriteValue(std::string_view, std::span<const std::byte>) override { return false; }
};

TEST(SettingsStoreTest, AFailedReadLeavesThePresetWhateverTheBackendDid) {
  ScribblingBackend backend;
  const SettingsStore store(backend);
  const UnitSettings preset{.temperatureUnit = TemperatureUnit::Fahrenheit};
  EXPECT_EQ(store.ReadUnitSettings(preset), preset);
  EXPECT_EQ(store.ReadStationIdAndKey(kWc), StationIdAndKey{});
}

#ifndef _WIN32
TEST(SettingsDirectoryTest, TakesAnAbsoluteXdgConfigHomeElseHomeConfig) {
  const fs::path leaf = fs::path("Veltrane") / "VID_1941&PID_8021";
  EXPECT_EQ(SettingsDirectory("/x/cfg", "/home/u"), fs::path("/x/cfg") / leaf);
  EXPECT_EQ(SettingsDirectory(nullptr, "/home/u"), fs::path("/home/u/.config") / leaf);
  EXPECT_EQ(SettingsDirectory("", "/home/u"), fs::path("/home/u/.config") / leaf);
  EXPECT_EQ(SettingsDirectory("relative", "/home/u"), fs::path("/home/u/.config") / leaf);
  EXPECT_EQ(SettingsDirectory(nullptr, ""), std::nullopt);
}
#endif

}  // namespace
}  // namespace nimbrel
