#include "platform/fake/FakeWindowMessages.h"

namespace platform {

std::vector<WindowId> FakeWindowMessages::messageOnlyWindows() {
    std::vector<WindowId> ids;
    for (const auto& entry : windows) ids.push_back(entry.first);
    return ids;
}

std::wstring FakeWindowMessages::windowTitle(WindowId window) {
    const auto found = windows.find(window);
    return found == windows.end() ? std::wstring() : found->second.title;
}

void FakeWindowMessages::sendMessage(WindowId window, std::uint32_t message) {
    const auto found = windows.find(window);
    if (found != windows.end()) found->second.received.push_back(message);
}

std::optional<std::uint32_t> FakeWindowMessages::sendMessageWithin(WindowId window, std::uint32_t message,
                                                                   std::uint32_t timeoutMs) {
    const auto found = windows.find(window);
    if (found == windows.end()) return timeoutMs;
    found->second.received.push_back(message);
    found->second.timeLimits.push_back(timeoutMs);
    if (found->second.answerMs > timeoutMs) return std::nullopt;
    return timeoutMs - found->second.answerMs;
}

void FakeWindowMessages::showMessageBox(const std::wstring& text, const std::wstring& caption) {
    messageBoxes.push_back({text, caption});
}

WindowId FakeWindowMessages::open(const std::wstring& title) {
    const WindowId id = windows.empty() ? 0x100 : windows.rbegin()->first + 0x10;
    windows[id].title = title;
    return id;
}

}  // namespace platform
