#include "platform/system/CodePage.h"

#include <gtest/gtest.h>

using namespace CodePage;

TEST(CodePage, EncodingTableAgreesWithTheCodePage) {
    char byte = 0;
    ASSERT_TRUE(EncodeWindows1251(QChar(u'Я'), &byte));
    EXPECT_EQ(static_cast<unsigned char>(byte), 0xDF);
    ASSERT_TRUE(EncodeWindows1251(QChar(u'€'), &byte));
    EXPECT_EQ(static_cast<unsigned char>(byte), 0x88);
    EXPECT_EQ(DecodeWindows1251(0xB9), QChar(u'№'));
    EXPECT_EQ(DecodeWindows1251(0xE0), QChar(u'а'));
    EXPECT_FALSE(EncodeWindows1251(QChar(u'é'), &byte));
    EXPECT_FALSE(EncodeWindows1251(QChar(0x00A0 + 0x100), &byte));
}
