#include <gtest/gtest.h>

#include "platform/version.h"
#include "settings/cp932.h"

namespace {

std::string Bytes(const QString& s) {
    return cp932::encode(s).value_or("<none>");
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
    EXPECT_FALSE(cp932::canEncode(QStringLiteral("😀")));
    EXPECT_FALSE(cp932::canEncode(QStringLiteral("한")));
    EXPECT_TRUE(cp932::canEncode(QStringLiteral("自分のパソコン")));
    EXPECT_EQ(cp932::byteLength(QStringLiteral("ピングローブ\n自動偵察オンラインなし")), 35);
}

TEST(Cp932, DecodesAndReplacesInvalidBytes) {
    EXPECT_EQ(cp932::decode("\x83\x8B\x81\x5B\x83\x5E"), QStringLiteral("ルータ"));
    EXPECT_EQ(cp932::decode("\xB1"), QStringLiteral("ｱ"));
    EXPECT_EQ(cp932::decode("a\x81"), QStringLiteral("a\uFFFD"));  // cut-off lead byte
    EXPECT_EQ(cp932::decode(std::string("\x81\x20x", 3)).right(1), QStringLiteral("x"));
    EXPECT_EQ(cp932::decode(""), QString());
}

TEST(Version, PlatformIdGivesTheFamily) {
    EXPECT_EQ(osFamilyFromPlatformId(1), "98");
    EXPECT_EQ(osFamilyFromPlatformId(2), "NT");
    EXPECT_EQ(osFamilyFromPlatformId(0), "98");
    EXPECT_EQ(osFamilyFromPlatformId(3), "98");
    EXPECT_EQ(osFamilyFromPlatformId(platformId()), "NT");
}

}  // namespace
