// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "i18n/language.h"
#include "web/page_files.h"
#include "web/page_texts.h"

namespace nimbrel::web {
namespace {

const std::filesystem::path kAssets = NIMBREL_PAGE_ASSETS;

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The whole gzip stream inflated; empty with a failure when it is damaged or cut short.
std::string Gunzip(std::string_view gzipped) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
    ADD_FAILURE() << "inflateInit2";
    return {};
  }
  std::string out;
  char buffer[16384];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gzipped.data()));
  stream.avail_in = static_cast<uInt>(gzipped.size());
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  EXPECT_EQ(status, Z_STREAM_END);
  EXPECT_EQ(stream.avail_in, 0u) << "bytes after the gzip stream";
  return status == Z_STREAM_END ? out : std::string{};
}

const EmbeddedFile* Find(std::string_view path) {
  const auto files = PageFiles();
  const auto it = std::find_if(files.begin(), files.end(),
                               [&](const EmbeddedFile& f) { return f.path == path; });
  return it == files.end() ? nullptr : &*it;
}

// Every file of the asset folder is built in, under its own name, and nothing else is.
TEST(PageFiles, HoldEveryAssetAndNothingElse) {
  std::set<std::string> onDisk;
  for (const auto& entry : std::filesystem::directory_iterator(kAssets)) {
    if (entry.is_regular_file()) {
      onDisk.insert("/" + entry.path().filename().string());
    }
  }
  std::set<std::string> embedded;
  for (const auto& file : PageFiles()) {
    EXPECT_TRUE(embedded.insert(std::string(file.path)).second) << "twice: " << file.path;
  }
  EXPECT_EQ(embedded, onDisk);
}

TEST(PageFiles, EachUnpacksToItsSourceBytes) {
  for (const auto& file : PageFiles()) {
    SCOPED_TRACE(std::string(file.path));
    const std::string source = FileBytes(kAssets / std::string(file.path.substr(1)));
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(Gunzip(file.gzipped), source);
    EXPECT_LT(file.gzipped.size(), source.size() + 32);
  }
}

TEST(PageFiles, ContentTypesByKind) {
  const struct {
    const char* path;
    const char* type;
  } rows[] = {
      {"/index.html", "text/html; charset=utf-8"},
      {"/app.js", "text/javascript; charset=utf-8"},
      {"/app.css", "text/css; charset=utf-8"},
      {"/favicon.svg", "image/svg+xml"},
  };
  for (const auto& row : rows) {
    const EmbeddedFile* file = Find(row.path);
    ASSERT_NE(file, nullptr) << row.path;
    EXPECT_EQ(file->contentType, row.type) << row.path;
  }
}

// What the page asks for by name is built in: a renamed file breaks the test, not the page.
TEST(PageFiles, EveryFileThePageNamesIsThere) {
  const std::string html = FileBytes(kAssets / "index.html");
  const std::regex reference(R"re((src|href)="([^"#:]+)")re");
  int count = 0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), reference);
       it != std::sregex_iterator(); ++it, ++count) {
    EXPECT_NE(Find("/" + (*it)[2].str()), nullptr) << (*it)[2].str();
  }
  EXPECT_GE(count, 4);
}

// Every word the page looks up has a text in each of the five languages: a key the page gains
// without a text would show as the key itself.
TEST(PageFiles, EveryWordThePageUsesIsInEachLanguage) {
  std::set<std::string> keys = {"state_connected", "state_waiting", "state_gone"};
  const std::string html = FileBytes(kAssets / "index.html");
  const std::string script = FileBytes(kAssets / "app.js");
  const std::regex inHtml(R"re(data-t="([a-z_0-9]+)")re");
  const std::regex inScript(R"re(\bt\('([a-z_0-9]+)'\))re");
  for (const auto& [text, pattern] : {std::pair{&html, &inHtml}, std::pair{&script, &inScript}}) {
    for (auto it = std::sregex_iterator(text->begin(), text->end(), *pattern);
         it != std::sregex_iterator(); ++it) {
      keys.insert((*it)[1].str());
    }
  }
  ASSERT_GE(keys.size(), 40u);
  const std::string texts = PageTextsJson(LoadLanguagePacks());
  for (const char* language : {"en", "de", "fr", "it", "es"}) {
    const std::size_t start = texts.find(std::string("\"") + language + "\":{");
    ASSERT_NE(start, std::string::npos) << language;
    const std::string block = texts.substr(start, texts.find('}', start) - start);
    for (const std::string& key : keys) {
      EXPECT_NE(block.find("\"" + key + "\":\"", 0), std::string::npos) << language << " " << key;
      EXPECT_EQ(block.find("\"" + key + "\":\"\""), std::string::npos)
          << language << " " << key << " is empty";
    }
  }
}

}  // namespace
}  // namespace nimbrel::web
