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

TEST(CodePage, SystemTextKeepsEveryByteAndEveryCharacter) {
    const struct {
        QByteArray bytes;
        QString text;
    } reads[] = {
        {"Radio", "Radio"},
        {"\xd0\x9c\xd0\xb0\xd1\x8f\xd0\xba", "Маяк"}, // UTF-8
        {"\xcc\xe0\xff\xea", "Маяк"},                 // Windows-1251
        // Windows-1251 "Р" after ASCII: a UTF-8 sequence cut off at the end, not dropped.
        {"Radio \xd0", "Radio Р"},
    };
    for (const auto& r : reads)
        EXPECT_EQ(DecodeSystemText(r.bytes), r.text) << r.bytes.toHex().constData();

    const struct {
        QString text;
        QByteArray bytes;
    } writes[] = {
        {"Radio", "Radio"},
        {"Маяк", "\xcc\xe0\xff\xea"},
        {"Καφέ", "\xce\x9a\xce\xb1\xcf\x86\xce\xad"},
        // "РЎ" in Windows-1251 is D0 A1, which is UTF-8 for "С": written in UTF-8 instead.
        {"РЎ", "\xd0\xa0\xd0\x8e"},
    };
    for (const auto& w : writes) {
        EXPECT_EQ(EncodeSystemText(w.text), w.bytes) << w.text.toStdString();
        EXPECT_EQ(DecodeSystemText(EncodeSystemText(w.text)), w.text);
    }
}
