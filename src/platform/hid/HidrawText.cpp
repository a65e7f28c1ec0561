#include "HidrawText.h"

#include <charconv>

namespace {

std::optional<std::uint32_t> ParseHexField(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<THidId> ParseHidId(std::string_view text) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos || !ParseHexField(text.substr(0, first), 8))
        return std::nullopt;
    const auto vendor = ParseHexField(text.substr(first + 1, second - first - 1), 8);
    const auto product = ParseHexField(text.substr(second + 1), 8);
    if (!vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF)
        return std::nullopt;
    return THidId{std::uint16_t(*vendor), std::uint16_t(*product)};
}

std::optional<std::uint16_t> ParseHex16(std::string_view text) {
    const auto value = ParseHexField(text, 8);
    if (!value || *value > 0xFFFF)
        return std::nullopt;
    return std::uint16_t(*value);
}

std::string InterfaceInstance(std::string_view sysPath, std::string_view usbDeviceNumber) {
    std::string instance(sysPath);
    if (!usbDeviceNumber.empty()) {
        instance += '#';
        instance += usbDeviceNumber;
    }
    return instance;
}
