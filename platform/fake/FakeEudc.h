// The EUDC switch for native tests. It records "load", "off", "on" and "free" in order, tells an observer of
// each (so that a test can look at other fakes at that moment), and can lack GDI32 or its entry point.
#pragma once

#include "platform/Eudc.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

class FakeEudc final : public Eudc {
public:
    enum class Availability { Available, NoLibrary, NoEntryPoint };

    std::unique_ptr<EudcSwitch> loadSwitch() override {
        note(L"load");
        if (availability == Availability::NoLibrary) {
            return nullptr;
        }
        if (availability == Availability::NoEntryPoint) {
            note(L"free");
            return nullptr;
        }
        return std::make_unique<Switch>(*this);
    }

    Availability availability = Availability::Available;
    std::vector<std::wstring> events;
    std::function<void(const std::wstring&)> observer;

private:
    class Switch final : public EudcSwitch {
    public:
        explicit Switch(FakeEudc& owner) : owner_(owner) {}
        ~Switch() override { owner_.note(L"free"); }
        void enable(bool on) override { owner_.note(on ? L"on" : L"off"); }

    private:
        FakeEudc& owner_;
    };

    void note(const std::wstring& event) {
        events.push_back(event);
        if (observer) {
            observer(event);
        }
    }
};

}  // namespace platform
