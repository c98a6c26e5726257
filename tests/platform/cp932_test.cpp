#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/version.h"

namespace {

std::string Bytes(const QString& s) {
    return cp932::Encode(s).value_or("<none>");
}

TEST(Cp932, InputMethodVariantsMapToWindowsCodePoints) {
    EXPECT_EQ(Bytes(QStringLiteral("〜")), "\x81\x60");  // U+301C wave dash
    EXPECT_EQ(Bytes(QStringLiteral("～")), "\x81\x60");  // U+FF5E full-width tilde
    EXPECT_EQ(Bytes(QStringLiteral("①")), "\x87\x40");
    EXPECT_EQ(Bytes(QStringLiteral("ｱ")), "\xB1");  // half-width katakana: one byte
    EXPECT_EQ(Bytes(QStringLiteral("ルータ")), "\x83\x8B\x81\x5B\x83\x5E");
    EXPECT_EQ(Bytes(QStringLiteral("a\"b")), "a\"b");
}

TEST(Cp932, CharactersWithoutAFormAreRefused) {
    EXPECT_FALSE(cp932::CanEncode(QStringLiteral("😀")));
    EXPECT_FALSE(cp932::CanEncode(QStringLiteral("한")));
    EXPECT_TRUE(cp932::CanEncode(QStringLiteral("自分のパソコン")));
    EXPECT_EQ(cp932::ByteLength(QStringLiteral("ピングローブ\n自動偵察オンラインなし")), 35);
}

TEST(Cp932, DecodesAndReplacesInvalidBytes) {
    EXPECT_EQ(cp932::Decode("\x83\x8B\x81\x5B\x83\x5E"), QStringLiteral("ルータ"));
    EXPECT_EQ(cp932::Decode("\xB1"), QStringLiteral("ｱ"));
    EXPECT_EQ(cp932::Decode("a\x81"), QStringLiteral("a\uFFFD"));  // cut-off lead byte
    EXPECT_EQ(cp932::Decode(std::string("\x81\x20x", 3)).right(1), QStringLiteral("x"));
    EXPECT_EQ(cp932::Decode(""), QString());
}

TEST(Version, PlatformIdGivesTheFamily) {
    EXPECT_EQ(OsFamilyFromPlatformId(1), "98");
    EXPECT_EQ(OsFamilyFromPlatformId(2), "NT");
    EXPECT_EQ(OsFamilyFromPlatformId(0), "98");
    EXPECT_EQ(OsFamilyFromPlatformId(3), "98");
    EXPECT_EQ(OsFamilyFromPlatformId(PlatformId()), "NT");
}

}  // namespace
