// What the installer relies on from any registry, checked against the fake natively and against Wine's real
// registry under Wine: a test file that includes this defines makeContractRegistry().
#pragma once

#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

std::unique_ptr<platform::Registry> makeContractRegistry();

class RegistryContract : public ::testing::Test {
protected:
    // Each test works below a key of its own under HKEY_CURRENT_USER.
    std::wstring base() const {
        const char* name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return L"Software\\ZelnRegistryContract\\" + std::wstring(name, name + std::char_traits<char>::length(name));
    }
    std::unique_ptr<platform::Registry> registry = makeContractRegistry();
};

using platform::kKeyAllAccess;
using platform::KeyParent;
using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryType;
using platform::RegistryValue;
using platform::RegistryView;

TEST_F(RegistryContract, KeyAndValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
    RegistryKey created;
    ASSERT_EQ(0, registry->createKey(RegistryRoot::CurrentUser, base() + L"\\Layout", created));
    ASSERT_EQ(0, registry->setString(created, L"IME File", L"first", 12));
    ASSERT_EQ(0, registry->setString(created, L"ime FILE", L"second", 14));
    created.close();

    RegistryKey opened;
    ASSERT_EQ(0, registry->openKeyEx(RegistryRoot::CurrentUser, base() + L"\\LAYOUT", platform::kKeyRead,
                                     RegistryView::Default, opened));
    RegistryValue value;
    ASSERT_EQ(0, registry->queryValue(opened, L"IME FILE", 260, value));
    EXPECT_EQ(L"second", value.text());
    std::wstring name;
    ASSERT_EQ(0, registry->enumValue(opened, 0, name, value));
    EXPECT_EQ(L"IME File", name);
    EXPECT_EQ(platform::kRegistryNoMoreItems, registry->enumValue(opened, 1, name, value));
}

TEST_F(RegistryContract, StringDataKeepsTheByteCountWrittenWhenNoTerminatorFollowsIt) {
    RegistryKey key;
    ASSERT_EQ(0, registry->createKeyEx(RegistryRoot::CurrentUser, base(), kKeyAllAccess, RegistryView::Default, key));
    ASSERT_EQ(0, registry->setString(key, L"Cut", L"abcd", 6));
    ASSERT_EQ(0, registry->setString(key, L"Counted", L"abcd", 10));
    ASSERT_EQ(0, registry->setString(key, L"Empty", L"", 0));
    ASSERT_EQ(0, registry->setDword(key, L"Number", 0x850));

    RegistryValue value;
    ASSERT_EQ(0, registry->queryValue(key, L"Cut", 260, value));
    EXPECT_EQ(RegistryType::String, value.type);
    EXPECT_EQ(6u, value.data.size());
    EXPECT_EQ(L"abc", value.text());
    ASSERT_EQ(0, registry->queryValue(key, L"Counted", 260, value));
    EXPECT_EQ(10u, value.data.size());
    EXPECT_EQ(L"abcd", value.text());
    ASSERT_EQ(0, registry->queryValue(key, L"Empty", 260, value));
    EXPECT_EQ(RegistryType::String, value.type);
    EXPECT_EQ(0u, value.data.size());
    std::uint32_t number = 0;
    ASSERT_EQ(0, registry->queryValue(key, L"Number", 260, value));
    ASSERT_TRUE(value.dword(number));
    EXPECT_EQ(0x850u, number);
    // A buffer too small for the data is a failed read, not a cut one.
    EXPECT_EQ(platform::kRegistryMoreData, registry->queryValue(key, L"Counted", 8, value));
    EXPECT_EQ(platform::kRegistryNotFound, registry->queryValue(key, L"Missing", 260, value));
}

TEST_F(RegistryContract, SubkeysEnumerateSortedIgnoringCaseAndCountInKeyInfo) {
    for (const wchar_t* name : {L"E0210804", L"00000804", L"e0200804", L"E0310850"}) {
        RegistryKey child;
        ASSERT_EQ(0, registry->createKey(RegistryRoot::CurrentUser, base() + L"\\" + name, child));
    }
    RegistryKey list;
    ASSERT_EQ(0, registry->openKey(RegistryRoot::CurrentUser, base(), list));
    platform::RegistryKeyInfo info;
    ASSERT_EQ(0, registry->queryKeyInfo(list, info));
    EXPECT_EQ(4u, info.subkeyCount);
    EXPECT_EQ(0u, info.valueCount);
    std::wstring names;
    std::wstring name;
    for (std::uint32_t index = 0; registry->enumKey(list, index, 260, name) == 0; ++index) {
        names += name + L" ";
    }
    EXPECT_EQ(L"00000804 e0200804 E0210804 E0310850 ", names);
    // Room for eight characters but not the terminator.
    EXPECT_EQ(platform::kRegistryMoreData, registry->enumKey(list, 0, 8, name));
    EXPECT_EQ(platform::kRegistryNoMoreItems, registry->enumKey(list, 4, 260, name));
}

TEST_F(RegistryContract, DeleteKeyRefusesAKeyWithSubkeysAndRemovesALeaf) {
    RegistryKey leaf;
    ASSERT_EQ(0, registry->createKey(RegistryRoot::CurrentUser, base() + L"\\Product\\SourceList", leaf));
    leaf.close();
    RegistryKey parent;
    ASSERT_EQ(0, registry->openKey(RegistryRoot::CurrentUser, base(), parent));
    EXPECT_EQ(platform::kRegistryAccessDenied, registry->deleteKey(parent, L"Product"));
    EXPECT_EQ(0, registry->deleteKey(parent, L"PRODUCT\\sourcelist"));
    EXPECT_EQ(0, registry->deleteKey(parent, L"Product"));
    EXPECT_EQ(platform::kRegistryNotFound, registry->deleteKey(parent, L"Product"));
    RegistryKey gone;
    EXPECT_EQ(platform::kRegistryNotFound, registry->openKey(parent, L"Product", gone));
    EXPECT_FALSE(gone);

    // Under a key opened in the 64-bit view, the delete stays in that view.
    RegistryKey wide;
    ASSERT_EQ(0, registry->createKeyEx(RegistryRoot::CurrentUser, base() + L"\\Wide\\Leaf", kKeyAllAccess,
                                       RegistryView::Force64, wide));
    EXPECT_EQ(RegistryView::Force64, wide.view());
    wide.close();
    RegistryKey parent64;
    ASSERT_EQ(0, registry->openKeyEx(RegistryRoot::CurrentUser, base() + L"\\Wide", kKeyAllAccess,
                                     RegistryView::Force64, parent64));
    EXPECT_EQ(RegistryView::Force64, KeyParent(parent64).view());
    EXPECT_EQ(RegistryView::Default, parent.view());
    EXPECT_EQ(0, registry->deleteKey(parent64, L"Leaf"));
    EXPECT_EQ(platform::kRegistryNotFound, registry->deleteKey(parent64, L"Leaf"));
    EXPECT_EQ(0, registry->deleteKey(parent, L"Wide"));
}

TEST_F(RegistryContract, ValuesAreDeletedByNameAndKeysOpenRelativeToAnOpenKey) {
    RegistryKey preload;
    ASSERT_EQ(0, registry->createKey(RegistryRoot::CurrentUser, base() + L"\\Preload", preload));
    ASSERT_EQ(0, registry->setString(preload, L"1", L"00000804", 18));
    ASSERT_EQ(0, registry->setString(preload, L"2", L"E0210804", 18));
    ASSERT_EQ(0, registry->deleteValue(preload, L"1"));
    EXPECT_EQ(platform::kRegistryNotFound, registry->deleteValue(preload, L"1"));

    RegistryKey parent;
    ASSERT_EQ(0, registry->openKey(RegistryRoot::CurrentUser, base(), parent));
    RegistryKey again;
    ASSERT_EQ(0, registry->openKey(parent, L"preload", again));
    platform::RegistryKeyInfo info;
    ASSERT_EQ(0, registry->queryKeyInfo(again, info));
    EXPECT_EQ(1u, info.valueCount);
    EXPECT_EQ(0, again.close());
    EXPECT_EQ(platform::kRegistryInvalidHandle, again.close());
}
