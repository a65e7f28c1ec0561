// The udev rule that gives the desktop user the tuner's node: read as udev reads it, every
// line must parse, and each tuner model must get "uaccess" on its hidraw node.
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>
#include <map>

namespace {

// One rule: "KEY[{attribute}]" and operator → value.
using TRule = std::map<QString, QString>;

bool ParseRule(const QString& line, TRule& rule) {
    static const QRegularExpression pair(QStringLiteral(
        R"re(^\s*([A-Z_]+(?:\{[^}]+\})?)\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*(,|$))re"));
    QString rest = line;
    while (!rest.trimmed().isEmpty()) {
        const QRegularExpressionMatch match = pair.match(rest);
        if (!match.hasMatch())
            return false;
        rule[match.captured(1) + match.captured(2)] = match.captured(3);
        rest = rest.mid(match.capturedEnd());
    }
    return !rule.empty();
}

} // namespace

TEST(UdevRule, GivesTheSeatUserBothTunerModelsOnHidraw) {
    QFile file(QStringLiteral(ORVALEN_SOURCE_DIR "/packaging/60-orvalen.rules"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::vector<TRule> rules;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.trimmed().isEmpty() || line.trimmed().startsWith('#'))
            continue;
        TRule rule;
        ASSERT_TRUE(ParseRule(line, rule)) << line.toStdString();
        rules.push_back(rule);
    }
    for (const char* product : {"1f01", "1f02"}) {
        SCOPED_TRACE(product);
        const TRule expected = {{"SUBSYSTEM==", "hidraw"},
                                {"ATTRS{idVendor}==", "1980"},
                                {"ATTRS{idProduct}==", product},
                                {"TAG+=", "uaccess"}};
        EXPECT_EQ(std::count(rules.begin(), rules.end(), expected), 1);
    }
    EXPECT_EQ(rules.size(), 2u);
}
