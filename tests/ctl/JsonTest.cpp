#include <gtest/gtest.h>

#include <stdexcept>

#include "ctl/Json.h"

using ctl::Json;

TEST(Json, BuildDumpAndParseRoundTrip) {
  Json doc;
  doc.Set("name", "a \"quoted\" \\ name\twith\ncontrols\x01")
      .Set("n", -42)
      .Set("big", static_cast<std::int64_t>(1) << 40)
      .Set("x", 0.5)
      .Set("flag", true)
      .Set("none", nullptr)
      .Set("list", Json(Json::Array{Json(1), Json("two"), Json(Json::Object{})}));
  for (int indent : {0, 2}) {
    const Json back = Json::Parse(doc.Dump(indent));
    EXPECT_EQ(back["name"].AsString(), "a \"quoted\" \\ name\twith\ncontrols\x01");
    EXPECT_EQ(back["n"].AsInteger(), -42);
    EXPECT_EQ(back["big"].AsInteger(), static_cast<std::int64_t>(1) << 40);
    EXPECT_DOUBLE_EQ(back["x"].AsNumber(), 0.5);
    EXPECT_TRUE(back["flag"].AsBool());
    EXPECT_TRUE(back["none"].IsNull());
    ASSERT_EQ(back["list"].Size(), 3u);
    EXPECT_EQ(back["list"][1].AsString(), "two");
    EXPECT_TRUE(back["list"][2].IsObject());
    EXPECT_TRUE(back["missing"].IsNull());
  }
  // Set replaces a member instead of adding a second one.
  doc.Set("n", 1);
  EXPECT_EQ(Json::Parse(doc.Dump())["n"].AsInteger(), 1);
  EXPECT_EQ(Json::Parse(doc.Dump()).Size(), 7u);
}

TEST(Json, BytesThatAreNotUtf8StillGiveValidJson) {
  const std::string utf8 = "caf\xC3\xA9 \xF0\x9F\x98\x80";
  EXPECT_EQ(ctl::JsonQuote(utf8), "\"" + utf8 + "\"");
  // A lone Latin-1 byte, an overlong form and a truncated sequence.
  const std::string odd = "a\xE9z\xC0\xAF\xE2\x82";
  const std::string quoted = ctl::JsonQuote(odd);
  EXPECT_EQ(quoted, "\"a\\u00e9z\\u00c0\\u00af\\u00e2\\u0082\"");
  EXPECT_EQ(Json::Parse(quoted).AsString(), "a\xC3\xA9z\xC3\x80\xC2\xAF\xC3\xA2\xC2\x82");
}

TEST(Json, ParsesEscapesAndRejectsMalformedText) {
  EXPECT_EQ(Json::Parse(R"("\u00e9\ud83d\ude00\/")").AsString(), "\xC3\xA9\xF0\x9F\x98\x80/");
  EXPECT_DOUBLE_EQ(Json::Parse(" -1.5e2 ").AsNumber(), -150.0);
  EXPECT_TRUE(Json::Parse("99999999999999999999").IsNumber());
  for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"abc", "tru", "01", "1.", "-",
                          "\"\\ud800\"", "\"\\q\"", "{} x", "\"a\nb\"", "[1 2]"}) {
    EXPECT_THROW(Json::Parse(bad), std::runtime_error) << bad;
  }
  EXPECT_THROW(Json::Parse(std::string(1000, '[')), std::runtime_error);
  EXPECT_THROW(Json::Parse("1").AsString(), std::runtime_error);
  EXPECT_THROW(Json::Parse("[]")[0], std::out_of_range);
}
